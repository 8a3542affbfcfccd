#include "engine/image_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <vector>

#include "engine/image_format.h"
#include "tests/support/device_rig.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tessora {
namespace {

using test::EngineRig;
using test::PatternBytes;
using test::ReadFile;
using test::Route;
using test::TempDir;
using test::WriteFile;

struct ReaderCase {
  std::string text;
  int result;
  std::map<int, std::uint8_t> bytes;  // address -> byte; 0xEE is what the buffer held
  int capacity = 16384;
};

TEST(ReadImageFile, TokensNumbersAndLengths) {
  const std::vector<ReaderCase> cases = {
      {"", 0, {}}, {"// only a comment\n/ another\n", 0, {}},
      {"@0000 01 02 / note 03\n", 2, {{1, 0x02}, {2, 0xEE}}},
      {"@0000 01 @0000 02\n", 1, {{0, 0x02}}},  // a repeated address counts once
      {"01\t02\n", 1, {{0, 0x01}}},            // a tab does not separate tokens
      {"@0010 aa\nbb\n@0004 cc\n", 0x12, {{0x10, 0xAA}, {0x11, 0xBB}, {0x04, 0xCC}}},
      {"05 06 @0002 07\n", 3, {{0, 0x05}, {2, 0x07}}},
      {"@0100 02\n", 0x101, {{0, 0xEE}, {0x100, 0x02}}},  // the length reaches the highest address
      {"@10001 42\n", kImageBeyondCapacity, {{1, 0xEE}}},  // not cut to 16 bits
      {"1FF 0x1a 02//x 0X3 +4 -1 7zz\n", 7, {{0, 0xFF}, {1, 0x1A}, {2, 0x02}, {3, 0x03}, {4, 0x04}, {5, 0xFF}, {6, 0x07}}},
      {"@0000 01 zz 03\n", kImageBadToken, {}}, {"@ 01\n", kImageBadToken, {}}, {"01 \t\n", kImageBadToken, {}},
      {"01 0x\n", 2, {{1, 0x00}}},  // "0x" still holds the digit 0
      {"@0000 01 02 \r\n@0002 03 \r\n", 3, {{2, 0x03}}},
      {std::string(252, '0') + " 1234\n", 2, {{0, 0x00}, {1, 0x34}}},  // long lines and tokens are read whole
      {"/" + std::string(300, 'c') + " 55\n66\n", 1, {{0, 0x66}}},
      {"@3fff 01\n", 0x4000, {{0x3FFF, 0x01}}},
      {"@3fff 01 02\n", kImageBeyondCapacity, {{0x3FFF, 0x01}}},  // what came before stays
      {"@00ff 01 02\n", kImageBeyondCapacity, {}, 256},
  };
  TempDir dir;
  std::string file = dir.File("image.hex");
  for (const ReaderCase& c : cases) {
    WriteFile(file, c.text);
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(c.capacity), 0xEE);
    EXPECT_EQ(ReadImageFile(file.c_str(), buffer.data(), c.capacity), c.result) << c.text;
    for (auto [address, byte] : c.bytes) EXPECT_EQ(buffer[address], byte) << c.text << " @" << address;
  }
  WriteFile(file, "01 02\n");
  std::vector<std::uint8_t> bytes(16);
  EXPECT_EQ(ReadImageFile(file.c_str(), nullptr, 16), kImageNoBuffer);
  EXPECT_EQ(ReadImageFile(nullptr, bytes.data(), 16), kImageNoName);
  EXPECT_EQ(ReadImageFile(dir.File("missing.hex").c_str(), bytes.data(), 16), kImageCannotOpen);
  std::string quoted = "\"" + file + "\"";
  EXPECT_EQ(ReadImageFile(quoted.c_str(), bytes.data(), 16), 2);
  EXPECT_EQ(ReadImageFile(quoted.c_str(), bytes.data(), 16), 2);  // the caller's text is left alone
}

// What is read out, in each format, is told apart as that format (a binary file by its
// name) and loads back into the
// same bytes at the same addresses; a 1-byte part read past its end repeats itself. Each
// block is one bus read; the text file's lines hold 16 bytes, or 8 with 8-byte blocks.
TEST(ReadOutToFile, LoadsBackIntoTheSameBytes) {
  struct Trip {
    int width;
    std::uint16_t block;
    std::uint16_t size;
    ImageFormat format = ImageFormat::Text;
  };
  for (Trip trip : {Trip{2, 16, 0}, Trip{2, 16, 1}, Trip{2, 16, 20}, Trip{2, 8, 20}, Trip{2, 16, 256},
                    Trip{2, 8, 256}, Trip{2, 16, 16384}, Trip{1, 16, 1}, Trip{1, 8, 20}, Trip{1, 16, 272},
                    Trip{2, 64, 20}, Trip{2, 64, 100}, Trip{2, 64, 16384}, Trip{1, 64, 272},
                    Trip{2, 16, 1000, ImageFormat::IntelHex}, Trip{2, 64, 1000, ImageFormat::IntelHex},
                    Trip{2, 64, 1000, ImageFormat::Binary}}) {
    SCOPED_TRACE(std::string(ImageFormatName(trip.format)) + " " + std::to_string(trip.block) + " " +
                 std::to_string(trip.size));
    std::size_t partSize = trip.width == 2 ? 16384 : 256;
    EngineRig rig(Route::Feature, {}, partSize);
    rig.Eeprom() = PatternBytes(partSize);
    std::string file = rig.dir.File(trip.format == ImageFormat::Binary ? "out.bin" : "out");
    ASSERT_EQ(ReadOutToFile(rig.context, rig.progress, file.c_str(), 0x51, 0, trip.size, trip.block, trip.width,
                            trip.format), 0);
    const int line = std::min<int>(trip.block, 16);
    EXPECT_EQ(rig.progress.steps, trip.size / line);
    EXPECT_EQ(rig.Trace().size(), (trip.size + trip.block - 1u) / trip.block);
    if (trip.format == ImageFormat::Text) {
      std::string text = ReadFile(file);
      EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), (trip.size + line - 1) / line);
    }
    ImageFormat detected{};
    ASSERT_TRUE(DetectImageFormat(file.c_str(), detected));
    EXPECT_EQ(detected, trip.format);
    std::vector<std::uint8_t> loaded(65535, 0);
    ASSERT_EQ(ReadImageAs(file.c_str(), trip.format, loaded.data(), 65535), trip.size);
    for (std::size_t i = 0; i < trip.size; ++i) ASSERT_EQ(loaded[i], rig.Eeprom()[i % partSize]) << i;
  }
}

TEST(ReadOutToFile, FailureKeepsTheOldFileAndRefusalsSendNothing) {
  EngineRig rig(Route::Driver, {.failAfter = 3});  // two blocks are read, the third finds the board gone
  std::string file = WriteFile(rig.dir.File("keep.hex"), "@0000 01 02 \n");
  EXPECT_EQ(ReadOutToFile(rig.context, rig.progress, nullptr, 0x51, 0, 16, 16, 2), 1);
  EXPECT_EQ(ReadOutToFile(rig.context, rig.progress, file.c_str(), 0x51, 0, 128, 65, 2), 1);
  EXPECT_EQ(ReadOutToFile(rig.context, rig.progress, file.c_str(), 0x51, 0, 64, 0, 2), 1);
  std::string problem;
  EXPECT_EQ(ReadOutToFile(rig.context, rig.progress, rig.dir.File("no/such/dir.hex").c_str(), 0x51, 0, 16, 16, 2,
                          ImageFormat::Text, &problem),
            1);
  EXPECT_EQ(problem, std::strerror(ENOENT));
  EXPECT_TRUE(rig.Trace().empty());

  ::testing::internal::CaptureStdout();
  EXPECT_EQ(ReadOutToFile(rig.context, rig.progress, file.c_str(), 0x51, 0, 64, 16, 2), 2);  // its status unread
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "could not read from EEPROM");
  EXPECT_EQ(ReadFile(file), "@0000 01 02 \n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(rig.dir.Path()), {}), 1);  // no leftovers

  // A stop (a signal) between blocks: the same, with nothing read.
  EngineRig stopped(Route::Driver);
  StopRequest stop;
  stop.Request(2);
  stopped.context.stop = &stop;
  file = WriteFile(stopped.dir.File("keep.hex"), "@0000 01 02 \n");
  EXPECT_EQ(ReadOutToFile(stopped.context, stopped.progress, file.c_str(), 0x51, 0, 64, 16, 2), 1);
  EXPECT_EQ(ReadFile(file), "@0000 01 02 \n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(stopped.dir.Path()), {}), 1);
  EXPECT_TRUE(stopped.Trace().empty());
}

#ifndef _WIN32
// A read-out writes through a link and keeps the file's mode and owner; a pipe or device
// cannot be replaced and is written straight; a directory is named as the system names
// it. The reader refuses a pipe (whose writer may never close), a device and a directory
// at once.
TEST(SpecialFiles, NeitherReplacedNorWaitedOn) {
  EngineRig rig(Route::Driver);
  std::string real = WriteFile(rig.dir.File("real.hex"), "old\n");
  std::string link = rig.dir.File("link.hex");
  ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
  bool root = ::geteuid() == 0;  // only root can give a file away
  if (root) {
    ASSERT_EQ(::chown(real.c_str(), 1234, 5678), 0);
  }
  std::filesystem::create_symlink("real.hex", link);
  ASSERT_EQ(ReadOutToFile(rig.context, rig.progress, link.c_str(), 0x51, 0, 2, 16, 2), 0);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadFile(real), "@0000 ff ff \n");
  struct stat info{};
  ASSERT_EQ(::stat(real.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  if (root) {
    EXPECT_EQ(std::pair(info.st_uid, info.st_gid), std::pair(1234u, 5678u));
  }

  // As /dev/stdout names a pipe: a link the program must not try to resolve itself.
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  std::string stdoutLike = "/proc/self/fd/" + std::to_string(ends[1]);
  ASSERT_EQ(ReadOutToFile(rig.context, rig.progress, stdoutLike.c_str(), 0x51, 0, 1, 16, 2), 0);
  ::close(ends[1]);
  char piece[32] = {};
  EXPECT_EQ(::read(ends[0], piece, sizeof piece - 1), 10);
  EXPECT_STREQ(piece, "@0000 ff \n");
  ::close(ends[0]);

  std::string fifo = rig.dir.File("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::vector<std::uint8_t> bytes(16);
  for (const std::string& path : {fifo, std::string("/dev/zero"), rig.dir.Path().string()})
    EXPECT_EQ(ReadImageFile(path.c_str(), bytes.data(), 16), kImageCannotOpen) << path;
  std::string problem;
  EXPECT_EQ(ReadOutToFile(rig.context, rig.progress, rig.dir.Path().string().c_str(), 0x51, 0, 1, 16, 2,
                          ImageFormat::Text, &problem),
            1);
  EXPECT_EQ(problem, std::strerror(EISDIR));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(rig.dir.Path()), {}), 3);  // nothing left beside them
}

// A link planted in a shared sticky folder must not make root replace what it names: the
// system's rule for such links holds only when the system follows the link.
TEST(SpecialFiles, ALinkInASharedFolderIsOpenedAsTheSystemWould) {
  std::string rule = ReadFile("/proc/sys/fs/protected_symlinks");
  if (::geteuid() != 0 || rule.empty() || rule[0] != '1')
    GTEST_SKIP() << "needs root and fs.protected_symlinks = 1";
  EngineRig rig(Route::Driver);
  std::string victim = WriteFile(rig.dir.File("victim"), "precious\n");
  std::string shared = rig.dir.File("shared");
  ASSERT_EQ(::mkdir(shared.c_str(), 01777), 0);
  ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
  std::string planted = shared + "/out.hex";
  std::filesystem::create_symlink(victim, planted);
  ASSERT_EQ(::lchown(planted.c_str(), 4321, 4321), 0);  // another user's link
  std::string problem;
  EXPECT_EQ(ReadOutToFile(rig.context, rig.progress, planted.c_str(), 0x51, 0, 1, 16, 2, ImageFormat::Text, &problem),
            1);
  EXPECT_EQ(problem, std::strerror(EACCES));
  EXPECT_EQ(ReadFile(victim), "precious\n");
  EXPECT_TRUE(std::filesystem::is_symlink(planted));
}
#endif


// Every good record set puts 0x11 0x22 at 0x10 and leaves 0x00 to 0x0F unset (erased); a
// bad one is refused with the line where it went wrong.
TEST(IntelHex, ReadsRecordsAndRefusesBadOnes) {
  const struct {
    std::string file;
    int result;
    int line;
  } cases[] = {
      {":020010001122BB\r\n:00000001FF\r\n", 0x12, 0},
      {":020000020001FB\n:020000001122CB\n:00000001FF\n", 0x12, 0},  // segment base
      {":020000040000FA\n\n:020010001122BB\n:00000001FF\n \n\n", 0x12, 0},  // linear base 0
      {":0400000300000000F9\n:020010001122BB\n:0400000500000000F7\n:00000001FF\n", 0x12, 0},  // start addresses
      {":020010001122BB\n:00100000F0\n:00000001FF\n", 0x12, 0},  // an empty record moves no end
      {":020010001122BC\n:00000001FF\n", kImageBadChecksum, 1},
      {"020010001122BB\n", kImageBadRecord, 1},  // no colon
      {":020010001122BB\n:030012001122BA\n", kImageBadRecord, 2},  // the length disagrees
      {":03000005000000F8\n", kImageBadRecord, 1},  // a start address of three bytes
      {":00FFFF0002\n:00000001FF\n", 0, 2},  // no data bytes
      {":020010001122BB\n:00000001FF\n:020010001122BB\n:00000001FF\n", kImageAfterEnd, 3},  // cat a.hex b.hex
      {":020010001122BB\n:01001100EE00\n:00000001FF\n", kImageOverlap, 2},
      {":020100001122CA\n:00000001FF\n", kImageBeyondCapacity, 1},
      {":020000040001F9\n:020010001122BB\n:00000001FF\n", kImageBeyondCapacity, 2},  // linear base beyond
      {":020010001122BB\n", kImageNoEndRecord, 0},
  };
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    std::vector<std::uint8_t> buffer(256, 0xEE);
    ImageProblem problem;
    std::string file = WriteFile(dir.File("image.ihex"), c.file);
    EXPECT_EQ(ReadImageAs(file.c_str(), ImageFormat::IntelHex, buffer.data(), 256, &problem), c.result);
    if (c.result <= 0) {
      EXPECT_EQ(problem.line, c.line);
      continue;
    }
    EXPECT_EQ(buffer[0x00], 0xFF);
    EXPECT_EQ(buffer[0x10], 0x11);
    EXPECT_EQ(buffer[0x11], 0x22);
  }
}

TEST(ImageFormatTest, NameOrContentTellsTheFormat) {
  TempDir dir;
  struct {
    std::string name;
    std::string content;
    ImageFormat format;
  } cases[] = {
      {"a.hex", "@0000 01 02\n", ImageFormat::Text},
      {"b.hex", "  \n:00000001FF\n", ImageFormat::IntelHex},
      {"c.hex", "// note: with a colon\n@0000 01\n", ImageFormat::Text},
      // Control bytes make no binary file: only the name does.
      {"d.hex", std::string("\x02\x00\x41", 3), ImageFormat::Text},
      {"e.BIN", ":00000001FF\n", ImageFormat::Binary},
      {"f", "", ImageFormat::Text},
  };
  for (const auto& c : cases) {
    ImageFormat found = ImageFormat::Binary;
    ASSERT_TRUE(DetectImageFormat(WriteFile(dir.File(c.name), c.content).c_str(), found));
    EXPECT_EQ(found, c.format) << c.name;
  }
  ImageFormat ignored{};
  EXPECT_FALSE(DetectImageFormat(dir.File("missing.bin").c_str(), ignored));
  EXPECT_FALSE(DetectImageFormat(dir.Path().string().c_str(), ignored));  // a directory is no image
}

TEST(ImageFormatTest, BinaryImageIsTheFileAsItStands) {
  TempDir dir;
  std::vector<std::uint8_t> buffer(4, 0xEE);
  std::string file = WriteFile(dir.File("image.bin"), std::string("\x0d\x0a\x00\x1a", 4));
  EXPECT_EQ(ReadImageAs(file.c_str(), ImageFormat::Binary, buffer.data(), 4), 4);
  EXPECT_EQ(buffer, (std::vector<std::uint8_t>{0x0D, 0x0A, 0x00, 0x1A}));
  WriteFile(file, std::string(5, '\x01'));
  EXPECT_EQ(ReadImageAs(file.c_str(), ImageFormat::Binary, buffer.data(), 4), kImageBeyondCapacity);
}

}  // namespace
}  // namespace tessora

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/image_file.h"
#include "tests/support/test_support.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tessora {
namespace {

using testing::CountingProgress;
using testing::DirectRig;
using testing::PatternBytes;
using testing::ReadFile;
using testing::Route;
using testing::TempDir;

struct RoundTrip {
  int width;
  std::uint16_t block;
  std::uint16_t size;
};

class ReadOutRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

// What is read out loads back into the same bytes at the same addresses (a 1-byte part
// read past its end repeats itself).
TEST_P(ReadOutRoundTrip, LoadsBackIntoTheSameBytes) {
  const RoundTrip& trip = GetParam();
  std::size_t partSize = trip.width == 2 ? 16384 : 256;
  DirectRig rig(Route::Feature, {}, partSize);
  rig.Eeprom() = PatternBytes(partSize);
  TempDir dir;
  CountingProgress progress;
  std::string file = dir.File("out.hex");

  ASSERT_EQ(ReadOutToFile(rig.context, progress, file.c_str(), 0x51, 0, trip.size, trip.block, trip.width), 0);
  EXPECT_EQ(progress.steps, trip.size / trip.block);

  std::vector<std::uint8_t> loaded(65535, 0);
  ASSERT_EQ(ReadImageFile(file.c_str(), loaded.data(), 65535), trip.size);
  for (std::size_t i = 0; i < trip.size; ++i)
    ASSERT_EQ(loaded[i], rig.Eeprom()[i % partSize]) << "address " << i;
}

INSTANTIATE_TEST_SUITE_P(Sizes, ReadOutRoundTrip,
                         ::testing::Values(RoundTrip{2, 16, 0}, RoundTrip{2, 16, 1}, RoundTrip{2, 16, 20},
                                           RoundTrip{2, 8, 20}, RoundTrip{2, 16, 256}, RoundTrip{2, 8, 256},
                                           RoundTrip{2, 16, 16384}, RoundTrip{1, 16, 1}, RoundTrip{1, 8, 20},
                                           RoundTrip{1, 16, 256}, RoundTrip{1, 16, 272}));

TEST(ReadOut, WritesOneLinePerBlockInTheImageFormat) {
  DirectRig rig(Route::Driver);
  for (int i = 0; i < 20; ++i) rig.Eeprom()[i] = static_cast<std::uint8_t>(i);
  TempDir dir;
  CountingProgress progress;
  ASSERT_EQ(ReadOutToFile(rig.context, progress, dir.File("a.hex").c_str(), 0x51, 0, 20, 16, 2), 0);
#ifdef _WIN32
  const std::string lineEnd = "\r\n";  // the file is written in text mode
#else
  const std::string lineEnd = "\n";
#endif
  std::string expected = "@0000 00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f " + lineEnd + "@0010 10 11 12 13 " + lineEnd;
  EXPECT_EQ(ReadFile(dir.File("a.hex")), expected);
  EXPECT_EQ(progress.steps, 1);  // none for the shorter last block
}

TEST(ReadOut, FailedReadKeepsTheOldFileAndReturnsTheReadsCode) {
  sim::BoardConfig config;
  config.failAfter = 3;  // two blocks are read, the third finds the board gone
  DirectRig rig(Route::Driver, config);
  TempDir dir;
  std::string file = dir.File("keep.hex");
  testing::WriteFile(file, "@0000 01 02 \n");
  CountingProgress progress;

  ::testing::internal::CaptureStdout();
  EXPECT_EQ(ReadOutToFile(rig.context, progress, file.c_str(), 0x51, 0, 64, 16, 2), 1);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "could not read from EEPROM");
  EXPECT_EQ(ReadFile(file), "@0000 01 02 \n");
  EXPECT_EQ(std::filesystem::directory_iterator(dir.Path())->path().filename(), "keep.hex");  // no leftovers
}

#ifndef _WIN32
// A link is followed, a file keeps its mode and owner, and what cannot be replaced (a
// pipe, a device) is written straight.
TEST(ReadOut, TheTargetKeepsWhatItIs) {
  DirectRig rig(Route::Driver);
  TempDir dir;
  CountingProgress progress;
  std::string real = dir.File("real.hex");
  std::string link = dir.File("link.hex");
  testing::WriteFile(real, "old\n");
  ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
  bool root = ::geteuid() == 0;  // only root can give a file away
  if (root) {
    ASSERT_EQ(::chown(real.c_str(), 1234, 5678), 0);
  }
  std::filesystem::create_symlink("real.hex", link);
  ASSERT_EQ(ReadOutToFile(rig.context, progress, link.c_str(), 0x51, 0, 2, 16, 2), 0);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadFile(real), "@0000 ff ff \n");
  struct stat info{};
  ASSERT_EQ(::stat(real.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  if (root) {
    EXPECT_EQ(std::pair(info.st_uid, info.st_gid), std::pair(1234u, 5678u));
  }

  std::string fifo = dir.File("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  int reader = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  ASSERT_EQ(ReadOutToFile(rig.context, progress, fifo.c_str(), 0x51, 0, 1, 16, 2), 0);
  char piece[32] = {};
  EXPECT_EQ(::read(reader, piece, sizeof piece - 1), 10);
  EXPECT_STREQ(piece, "@0000 ff \n");
  ::close(reader);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 3);  // nothing left beside them
}
#endif

TEST(ReadOut, RefusesWhatItCannotDo) {
  DirectRig rig(Route::Driver);
  TempDir dir;
  CountingProgress progress;
  EXPECT_EQ(ReadOutToFile(rig.context, progress, nullptr, 0x51, 0, 16, 16, 2), 1);
  EXPECT_EQ(ReadOutToFile(rig.context, progress, dir.File("a.hex").c_str(), 0x51, 0, 64, 32, 2), 1);
  EXPECT_EQ(ReadOutToFile(rig.context, progress, dir.File("a.hex").c_str(), 0x51, 0, 64, 0, 2), 1);
  EXPECT_EQ(ReadOutToFile(rig.context, progress, dir.File("no/such/dir.hex").c_str(), 0x51, 0, 16, 16, 2), 1);
  EXPECT_TRUE(rig.Trace().empty());
}

}  // namespace
}  // namespace tessora

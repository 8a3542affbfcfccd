#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/image_file.h"
#include "engine/image_format.h"
#include "tests/support/test_support.h"

namespace tessora {
namespace {

using testing::TempDir;
using testing::WriteFile;

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
      {":020000040000FA\n\n:020010001122BB\n:00000001FF\nignored\n", 0x12, 0},  // linear base 0
      {":020010001122BC\n:00000001FF\n", kImageBadChecksum, 1},
      {"020010001122BB\n", kImageBadRecord, 1},  // no colon
      {":020010001122BB\n:030012001122BA\n", kImageBadRecord, 2},  // the length disagrees
      {":0400000500000000F7\n", kImageBadRecord, 1},  // start address record
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

TEST(ImageFormatTest, ContentTellsTheFormat) {
  TempDir dir;
  struct {
    std::string content;
    ImageFormat format;
  } cases[] = {
      {"@0000 01 02\n", ImageFormat::Text}, {"  \n:00000001FF\n", ImageFormat::IntelHex},
      {"// note: with a colon\n@0000 01\n", ImageFormat::Text}, {std::string("\x02\x00\x41", 3), ImageFormat::Binary},
      {"", ImageFormat::Text},
  };
  for (const auto& c : cases) {
    ImageFormat found = ImageFormat::Binary;
    ASSERT_TRUE(DetectImageFormat(WriteFile(dir.File("image"), c.content).c_str(), found));
    EXPECT_EQ(found, c.format) << c.content;
  }
  ImageFormat ignored{};
  EXPECT_FALSE(DetectImageFormat(dir.File("missing").c_str(), ignored));
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

#include "engine/image_file.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/test_support.h"

namespace tessora {
namespace {

using testing::TempDir;
using testing::WriteFile;

class ImageFileTest : public ::testing::Test {
 protected:
  // Parses `text` into a fresh 0xEE-filled buffer of the given capacity.
  int Parse(const std::string& text, int capacity = 16384) {
    WriteFile(dir.File("image.hex"), text);
    buffer.assign(static_cast<std::size_t>(capacity), 0xEE);
    return ReadImageFile(dir.File("image.hex").c_str(), buffer.data(), capacity);
  }

  TempDir dir;
  std::vector<std::uint8_t> buffer;
};

TEST_F(ImageFileTest, TokensFollowTheirFirstCharacter) {
  EXPECT_EQ(Parse(""), 0);
  EXPECT_EQ(Parse("// only a comment\n/ another\n"), 0);

  EXPECT_EQ(Parse("@0000 01 02 / note 03\n"), 2);
  EXPECT_EQ(buffer[2], 0xEE);

  EXPECT_EQ(Parse("@0000 01 @0000 02\n"), 2);  // tokens, not addresses, are counted
  EXPECT_EQ(buffer[0], 0x02);

  EXPECT_EQ(Parse("01\t02\n"), 1);  // a tab does not separate tokens
  EXPECT_EQ(buffer[0], 0x01);

  EXPECT_EQ(Parse("@0010 aa\nbb\n@0004 cc\n"), 3);  // the offset carries over lines
  EXPECT_EQ(buffer[0x10], 0xAA);
  EXPECT_EQ(buffer[0x11], 0xBB);
  EXPECT_EQ(buffer[0x04], 0xCC);

  EXPECT_EQ(Parse("05 06 @0002 07\n"), 3);  // data before any address starts at 0
  EXPECT_EQ(buffer[0], 0x05);
  EXPECT_EQ(buffer[2], 0x07);

  EXPECT_EQ(Parse("@10001 42\n"), 1);  // only the low 16 bits of an address count
  EXPECT_EQ(buffer[1], 0x42);
}

TEST_F(ImageFileTest, NumbersAreReadAsHexConversionReadsThem) {
  EXPECT_EQ(Parse("1FF 0x1a 02//x 0X3 +4 -1 7zz\n"), 7);
  std::vector<std::uint8_t> expected = {0xFF, 0x1A, 0x02, 0x03, 0x04, 0xFF, 0x07};
  EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + 7), expected);
}

TEST_F(ImageFileTest, TokenWithoutNumberRefusesTheWholeFile) {
  EXPECT_EQ(Parse("@0000 01 zz 03\n"), kImageBadToken);
  EXPECT_EQ(Parse("@ 01\n"), kImageBadToken);
  EXPECT_EQ(Parse("01 0x\n"), 2);  // "0x" still holds the digit 0
  EXPECT_EQ(Parse("01 \t\n"), kImageBadToken);
}

TEST_F(ImageFileTest, CarriageReturnsBelongToTheLineEnd) {
  EXPECT_EQ(Parse("@0000 01 02 \r\n@0002 03 \r\n"), 3);
  EXPECT_EQ(buffer[2], 0x03);
}

TEST_F(ImageFileTest, LongLinesAreReadIn254CharacterPieces) {
  // 84 tokens of "0a " make 252 characters; "1234" is then cut after "12".
  std::string line;
  for (int i = 0; i < 84; ++i) line += "0a ";
  EXPECT_EQ(Parse(line + "1234\n"), 86);
  EXPECT_EQ(buffer[84], 0x12);
  EXPECT_EQ(buffer[85], 0x34);

  // A comment ends only the piece it stands in.
  std::string comment = "/" + std::string(253, 'c') + " 55\n";
  EXPECT_EQ(Parse(comment), 1);
  EXPECT_EQ(buffer[0], 0x55);
}

TEST_F(ImageFileTest, CapacityBoundsEveryStore) {
  EXPECT_EQ(Parse("@3fff 01\n"), 1);
  EXPECT_EQ(buffer[0x3FFF], 0x01);
  EXPECT_EQ(Parse("@3fff 01 02\n"), kImageBeyondCapacity);
  EXPECT_EQ(buffer[0x3FFF], 0x01);  // what came before the bad byte stays
  EXPECT_EQ(Parse("@00ff 01 02\n", 256), kImageBeyondCapacity);
}

TEST_F(ImageFileTest, ArgumentsAndQuotedNames) {
  WriteFile(dir.File("q.hex"), "01 02\n");
  std::vector<std::uint8_t> bytes(16);
  EXPECT_EQ(ReadImageFile(dir.File("q.hex").c_str(), nullptr, 16), kImageNoBuffer);
  EXPECT_EQ(ReadImageFile(nullptr, bytes.data(), 16), kImageNoName);
  EXPECT_EQ(ReadImageFile(dir.File("missing.hex").c_str(), bytes.data(), 16), kImageCannotOpen);
  std::string quoted = "\"" + dir.File("q.hex") + "\"";
  EXPECT_EQ(ReadImageFile(quoted.c_str(), bytes.data(), 16), 2);
  EXPECT_EQ(ReadImageFile(quoted.c_str(), bytes.data(), 16), 2);  // the caller's text is left alone
}

}  // namespace
}  // namespace tessora

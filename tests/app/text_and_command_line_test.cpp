#include <gtest/gtest.h>

#include <string>

#include "app/command_line.h"
#include "app/text_fit.h"

namespace tessora {
namespace {

TEST(StartCommandLine, SwitchSkipsThreeCharactersWhateverTheyAre) {
  EXPECT_STREQ(ParseStartCommandLine("-s image.hex", NextUtf8Char).fileName, "image.hex");
  EXPECT_TRUE(ParseStartCommandLine("-s image.hex", NextUtf8Char).silent);
  EXPECT_STREQ(ParseStartCommandLine("-simage.hex", NextUtf8Char).fileName, "mage.hex");
  EXPECT_STREQ(ParseStartCommandLine("-s  image.hex", NextUtf8Char).fileName, " image.hex");
  EXPECT_STREQ(ParseStartCommandLine("-s", NextUtf8Char).fileName, "");
  EXPECT_STREQ(ParseStartCommandLine("-s\xC3\xA9x.hex", NextUtf8Char).fileName, "x.hex");  // é is one character

  StartCommand upper = ParseStartCommandLine("-S image.hex", NextUtf8Char);
  EXPECT_FALSE(upper.silent);
  EXPECT_STREQ(upper.fileName, "-S image.hex");
  EXPECT_STREQ(ParseStartCommandLine("\"my image.hex\"", NextUtf8Char).fileName, "\"my image.hex\"");
  EXPECT_STREQ(ParseStartCommandLine("", NextUtf8Char).fileName, "");
}

TEST(TextFit, ShortenedTextsAreMarkedAndStayWholeCharacters) {
  char buffer[12];
  CopyFitted("short", buffer, sizeof buffer, NextUtf8Char);
  EXPECT_STREQ(buffer, "short");
  CopyFitted("0123456789abcdef", buffer, sizeof buffer, NextUtf8Char);
  EXPECT_STREQ(buffer, "01234567...");
  CopyFitted("0123456\xE2\x82\xAC" "abc", buffer, sizeof buffer, NextUtf8Char);  // € would be cut
  EXPECT_STREQ(buffer, "0123456...");

  char status[32];
  ComposeWithFileName("Could not read", "/a/very/long/folder/name/image.hex", status, sizeof status, NextUtf8Char);
  EXPECT_STREQ(status, "Could not read\n...ame/image.hex");
  EXPECT_EQ(std::string(status).size(), 31u);
  ComposeWithFileName("Could not read", "/x/\xE2\x82\xAC" "image.hex", status, 29, NextUtf8Char);
  EXPECT_STREQ(status, "Could not read\n...image.hex");
  ComposeWithFileName("Could not read", "ok.hex", status, sizeof status, NextUtf8Char);
  EXPECT_STREQ(status, "Could not read\nok.hex");
}

}  // namespace
}  // namespace tessora

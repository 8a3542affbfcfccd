#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "app/command_line.h"
#include "app/text_fit.h"

namespace tessora {
namespace {

// "-s" (case-sensitive) skips three characters whatever they are, a multibyte one
// counting as one; anything else is the file name as it stands.
TEST(StartCommandLine, SwitchSkipsThreeCharactersWhateverTheyAre) {
  const std::tuple<const char*, bool, const char*> cases[] = {
      {"-s image.hex", true, "image.hex"},   {"-simage.hex", true, "mage.hex"},
      {"-s  image.hex", true, " image.hex"}, {"-s", true, ""},
      {"-s\xC3\xA9x.hex", true, "x.hex"},    {"-S image.hex", false, "-S image.hex"},
      {"\"my image.hex\"", false, "\"my image.hex\""}, {"", false, ""},
  };
  for (const auto& [line, silent, fileName] : cases) {
    StartCommand command = ParseStartCommandLine(line, NextUtf8Char);
    EXPECT_EQ(command.silent, silent) << line;
    EXPECT_STREQ(command.fileName, fileName) << line;
  }
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

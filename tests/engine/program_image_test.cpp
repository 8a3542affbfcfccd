#include "engine/program_image.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/compare_eeprom.h"
#include "engine/image_file.h"
#include "engine/program_changed_pages.h"
#include "tests/support/device_rig.h"

namespace tessora {
namespace {

using test::CountingProgress;
using test::EngineRig;
using test::ImageText;
using test::PatternBytes;
using test::Route;
using test::TempDir;

// The bus requests of a trace as "W<subaddress>/<length>" and "R...", joined by blanks.
std::string BusSteps(const std::vector<std::string>& trace) {
  std::string steps;
  for (const std::string& line : trace) {
    std::size_t op = line.find("bus-");
    if (op == std::string::npos) continue;
    std::size_t sub = line.find("sub=");
    std::size_t len = line.find("len=");
    steps += steps.empty() ? "" : " ";
    steps += (line.compare(op, 8, "bus-read") == 0 ? "R" : "W") + line.substr(sub + 4, len - sub - 5) + "/" +
             line.substr(len + 4, line.find(' ', len) - len - 4);
  }
  return steps;
}

struct ProgramCase {
  std::string image;  // the file's text
  int width;
  std::uint16_t page;
  std::string requests;  // empty: not checked
  int steps;
};

// The header (bytes 0-63) is erased first and written last, from its top down, at every
// page size; every byte lands at its own address, gaps erased. Past the header a byte at
// the highest power of two below the image's end asks whether the part reaches it.
TEST(ProgramImage, HeaderLastAndEveryByteAtItsAddress) {
  const std::string erase8 = "W0000/8 W0008/8 W0010/8 W0018/8 W0020/8 W0028/8 W0030/8 W0038/8 ";
  const std::vector<ProgramCase> cases = {
      {ImageText(PatternBytes(194)), 2, 64,
       "W0000/64 W0080/1 R0000/1 W0040/64 R0040/64 W0080/64 R0080/64 W00c0/1 R00c0/1 W00c1/1 R00c1/1 W0000/64 "
       "R0000/64",
       2},
      {ImageText(PatternBytes(64)), 2, 64, "W0000/64 W0000/64 R0000/64", 1},
      {ImageText(PatternBytes(20)), 2, 64, "W0000/64 W0000/20 R0000/20", 0},
      {ImageText(PatternBytes(256)), 1, 64, "W00/64 W80/1 R00/1 W40/64 R40/64 W80/64 R80/64 Wc0/64 Rc0/64 W00/64 R00/64", 3},
      {ImageText(PatternBytes(98)), 2, 32,
       "W0000/32 W0020/32 W0040/1 R0000/1 W0040/32 R0040/32 W0060/1 R0060/1 W0061/1 R0061/1 W0020/32 R0020/32 W0000/32 R0000/32", 2},
      {ImageText(PatternBytes(20)), 2, 8, erase8 + "W0010/4 R0010/4 W0008/8 R0008/8 W0000/8 R0000/8", 1},
      {"@0000 01\n@0100 02\n", 2, 64,
       "W0000/64 W0100/1 R0000/1 W0040/64 R0040/64 W0080/64 R0080/64 W00c0/64 R00c0/64 W0100/1 R0100/1 W0000/64 "
       "R0000/64",
       3},
      {"@0100 05 06\n@0000 07 @0000 08\n", 2, 16, "", 15},
  };
  for (const ProgramCase& c : cases) {
    std::size_t capacity = c.width == 2 ? 16384 : 256;
    EngineRig rig(Route::Driver, {}, capacity);
    rig.Eeprom() = PatternBytes(capacity, 11);  // the firmware before
    std::string file = test::WriteFile(rig.dir.File("image.hex"), c.image);
    std::vector<std::uint8_t> expected(capacity, 0xFF);
    int length = std::max(ReadImageFile(file.c_str(), expected.data(), static_cast<int>(capacity)), 64);
    std::copy(rig.Eeprom().begin() + length, rig.Eeprom().end(), expected.begin() + length);  // the header is erased whole

    ASSERT_EQ(ProgramImage(rig.context, rig.progress, file.c_str(), 0x51, c.page, c.width), 0) << c.image;
    if (!c.requests.empty()) {
      EXPECT_EQ(BusSteps(rig.Trace()), c.requests);
    }
    EXPECT_EQ(rig.progress.steps, c.steps) << c.image;
    EXPECT_TRUE(rig.Eeprom() == expected) << c.image;
  }
}

TEST(ProgramImage, ImageThatCannotBeLoadedLeavesTheFirmwareAlone) {
  const std::vector<std::pair<std::string, std::uint16_t>> cases = {
      {"@3fff 01 02\n", 64}, {"01 zz\n", 64}, {"// nothing\n", 64}, {"@10000 01\n", 64}, {"01\n", 0}, {"01\n", 128}};
  EngineRig rig(Route::Driver);
  for (const auto& [text, page] : cases) {
    std::string file = test::WriteFile(rig.dir.File("image.hex"), text);
    EXPECT_EQ(ProgramImage(rig.context, rig.progress, file.c_str(), 0x51, page, 2), 1) << text << page;
  }
  EXPECT_EQ(ProgramImage(rig.context, rig.progress, rig.dir.File("missing.hex").c_str(), 0x51, 64, 2), 1);
  EXPECT_EQ(rig.Trace(), std::vector<std::string>{});
}

TEST(ProgramImage, VerifyCatchesWhatReadsBackWrong) {
  for (Route route : {Route::Feature, Route::Driver}) {
    EngineRig rig(route, {.corruptReadback = 130});
    EXPECT_EQ(ProgramImage(rig.context, rig.progress, rig.WriteImage(PatternBytes(300)).c_str(), 0x51, 64, 2), 1);
    std::string steps = BusSteps(rig.Trace());
    EXPECT_EQ(steps.substr(steps.rfind(' ') + 1), "R0080/64");  // stops at the page holding 130
    EXPECT_EQ(std::vector<std::uint8_t>(rig.Eeprom().begin(), rig.Eeprom().begin() + 64),
              std::vector<std::uint8_t>(64, 0xFF));
  }
  // A header page that does not verify leaves the whole header erased again.
  EngineRig header(Route::Driver, {.corruptReadback = 12});
  EXPECT_EQ(ProgramImage(header.context, header.progress, header.WriteImage(PatternBytes(300)).c_str(), 0x51, 8, 2), 1);
  EXPECT_EQ(std::vector<std::uint8_t>(header.Eeprom().begin(), header.Eeprom().begin() + 64),
            std::vector<std::uint8_t>(64, 0xFF));
}

// Every page of an image larger than the part reads back right, its upper pages written
// over the lower ones: the update must still fail, with the header erased.
TEST(ProgramImage, APartSmallerThanTheImageFailsWithTheHeaderErased) {
  struct {
    std::size_t part;
    int width;
    std::uint32_t image;
    int result;
  } cases[] = {{8192, 2, 8193, 1}, {8192, 2, 8192, 0}, {4096, 2, 16384, 1}, {128, 1, 200, 1}, {128, 1, 128, 0}};
  for (const auto& c : cases) {
    for (bool changedOnly : {false, true}) {
      SCOPED_TRACE(std::to_string(c.part) + " " + std::to_string(c.image) + (changedOnly ? " changed" : ""));
      EngineRig rig(Route::Driver, {}, c.part);
      rig.Eeprom() = PatternBytes(c.part, 3);  // the firmware before
      std::string file = rig.WriteImage(PatternBytes(c.image));
      std::uint32_t pages = 0;
      int result = changedOnly
                       ? ProgramChangedPages(rig.context, rig.progress, file.c_str(), ImageFormat::Text, 0x51, 64,
                                             c.width, pages)
                       : ProgramImage(rig.context, rig.progress, file.c_str(), 0x51, 64, c.width);
      EXPECT_EQ(result, c.result);
      std::vector<std::uint8_t> header(rig.Eeprom().begin(), rig.Eeprom().begin() + 64);
      if (c.result != 0) EXPECT_EQ(header, std::vector<std::uint8_t>(64, 0xFF));
      else EXPECT_EQ(rig.Eeprom(), PatternBytes(c.image));
    }
  }
}

struct ChangedCase {
  const char* name;
  std::vector<std::uint32_t> differing;  // addresses whose byte the board holds otherwise
  std::string steps;
  std::uint32_t pagesWritten;
};

class ChangedPages : public ::testing::TestWithParam<ChangedCase> {};

// 200 bytes in 64-byte pages: read in reads the controller is known to serve, then only
// what differs, between the header's erase and its write.
TEST_P(ChangedPages, WritesOnlyWhatDiffersBetweenTheHeadersEraseAndWrite) {
  const ChangedCase& c = GetParam();
  TempDir dir;
  std::string file = dir.File("image.hex");
  std::vector<std::uint8_t> bytes = PatternBytes(200);
  test::WriteFile(file, ImageText(bytes));
  EngineRig rig(Route::Driver);
  std::copy(bytes.begin(), bytes.end(), rig.Eeprom().begin());
  for (std::uint32_t address : c.differing) rig.Eeprom()[address] ^= 0x5A;

  CountingProgress progress;
  std::uint32_t pagesWritten = 99;
  ASSERT_EQ(ProgramChangedPages(rig.context, progress, file.c_str(), ImageFormat::Text, 0x51, 64, 2, pagesWritten), 0);
  EXPECT_EQ(BusSteps(rig.Trace()), c.steps);
  EXPECT_EQ(pagesWritten, c.pagesWritten);
  EXPECT_EQ(progress.steps, 4);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), rig.Eeprom().begin()));
}

INSTANTIATE_TEST_SUITE_P(
    Pages, ChangedPages,
    ::testing::Values(
        ChangedCase{"Same", {}, "R0000/64 R0040/64 R0080/64 R00c0/8", 0},
        ChangedCase{"Body", {0x85, 0xC7},
                    "R0000/64 R0040/64 R0080/64 R00c0/8 W0000/64 W0080/1 R0000/1 W0080/64 R0080/64 W00c0/8 R00c0/8 "
                    "W0000/64 R0000/64",
                    3},
        ChangedCase{"Header", {0x09}, "R0000/64 R0040/64 R0080/64 R00c0/8 W0000/64 W0080/1 R0000/1 W0080/1 R0080/1 W0000/64 R0000/64", 1}),
    [](const ::testing::TestParamInfo<ChangedCase>& info) { return info.param.name; });

TEST(CompareEeprom, CountsTheDifferencesAndKeepsTheFirst) {
  EngineRig rig(Route::Feature);
  std::vector<std::uint8_t> bytes = PatternBytes(100);
  std::copy(bytes.begin(), bytes.end(), rig.Eeprom().begin());
  rig.Eeprom()[70] = static_cast<std::uint8_t>(bytes[70] ^ 0xFF);
  rig.Eeprom()[99] = static_cast<std::uint8_t>(bytes[99] + 1);
  ImageMismatch mismatch;
  ASSERT_EQ(CompareEeprom(rig.context, rig.progress, 0x51, 2, bytes.data(), 100, 64, mismatch), 0);
  EXPECT_EQ(mismatch.count, 2u);
  EXPECT_EQ(mismatch.firstAddress, 70u);
  EXPECT_EQ(mismatch.expected, bytes[70]);
  EXPECT_EQ(mismatch.found, static_cast<std::uint8_t>(bytes[70] ^ 0xFF));
  EXPECT_EQ(rig.progress.steps, 2);
  EXPECT_EQ(BusSteps(rig.Trace()), "R0000/64 R0040/36");
}

}  // namespace
}  // namespace tessora

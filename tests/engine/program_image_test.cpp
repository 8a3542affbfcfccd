#include "engine/program_image.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/compare_eeprom.h"
#include "engine/eeprom_transfer.h"
#include "engine/program_changed_pages.h"
#include "tests/support/test_support.h"

namespace tessora {
namespace {

using testing::CountingProgress;
using testing::DirectRig;
using testing::ImageText;
using testing::PatternBytes;
using testing::Route;
using testing::TempDir;

// The (operation, subaddress, length) of each bus request, from the board's trace.
std::vector<std::string> BusSteps(const std::vector<std::string>& trace) {
  std::vector<std::string> steps;
  for (const std::string& line : trace) {
    std::size_t op = line.find("bus-");
    std::size_t sub = line.find("sub=");
    std::size_t len = line.find("len=");
    if (op == std::string::npos) continue;
    std::string kind = line.compare(op, 8, "bus-read") == 0 ? "R" : "W";
    std::string length = line.substr(len + 4, line.find(' ', len) - len - 4);
    steps.push_back(kind + line.substr(sub + 4, len - sub - 5) + "/" + length);
  }
  return steps;
}

class ProgramImageTest : public ::testing::Test {
 protected:
  std::string Image(const std::vector<std::uint8_t>& bytes) {
    std::string file = dir.File("image.hex");
    testing::WriteFile(file, ImageText(bytes));
    return file;
  }

  TempDir dir;
  CountingProgress progress;
};

TEST_F(ProgramImageTest, FirstPageIsErasedFirstAndWrittenLast) {
  DirectRig rig(Route::Driver);
  std::vector<std::uint8_t> bytes = PatternBytes(200);
  ASSERT_EQ(ProgramImage(rig.context, progress, Image(bytes).c_str(), 0x51, 64, 2), 0);

  std::vector<std::string> expected = {"W0000/64", "W0040/64", "R0040/64", "W0080/64", "R0080/64"};
  for (int address = 192; address < 200; ++address) {
    char step[16];
    std::snprintf(step, sizeof step, "%04x/1", address);
    expected.push_back(std::string("W") + step);
    expected.push_back(std::string("R") + step);
  }
  expected.push_back("W0000/64");
  expected.push_back("R0000/64");
  EXPECT_EQ(BusSteps(rig.Trace()), expected);
  EXPECT_EQ(progress.steps, 2);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), rig.Eeprom().begin()));
  EXPECT_EQ(rig.Eeprom()[200], 0xFF);
  EXPECT_EQ(rig.Trace()[0].substr(rig.Trace()[0].find("data=") + 5, 8), "ffffffff");
}

TEST_F(ProgramImageTest, SmallImagesAndOneByteSubaddressing) {
  DirectRig one(Route::Driver);
  ASSERT_EQ(ProgramImage(one.context, progress, Image(PatternBytes(64)).c_str(), 0x51, 64, 2), 0);
  EXPECT_EQ(BusSteps(one.Trace()), (std::vector<std::string>{"W0000/64", "W0000/64", "R0000/64"}));
  EXPECT_EQ(progress.steps, 1);

  DirectRig shorter(Route::Driver);
  ASSERT_EQ(ProgramImage(shorter.context, progress, Image(PatternBytes(2)).c_str(), 0x51, 64, 2), 0);
  EXPECT_EQ(BusSteps(shorter.Trace()),
            (std::vector<std::string>{"W0000/64", "W0000/1", "R0000/1", "W0001/1", "R0001/1"}));

  DirectRig small(Route::Driver, {}, 256);
  std::vector<std::uint8_t> bytes = PatternBytes(256);
  ASSERT_EQ(ProgramImage(small.context, progress, Image(bytes).c_str(), 0x51, 64, 1), 0);
  EXPECT_EQ(BusSteps(small.Trace()), (std::vector<std::string>{"W00/64", "W40/64", "R40/64", "W80/64", "R80/64",
                                                               "Wc0/64", "Rc0/64", "W00/64", "R00/64"}));
  EXPECT_EQ(small.Eeprom(), bytes);
}

TEST_F(ProgramImageTest, ImageThatCannotBeLoadedLeavesTheFirmwareAlone) {
  DirectRig rig(Route::Driver);
  rig.Eeprom() = PatternBytes(16384, 11);
  std::vector<std::uint8_t> before = rig.Eeprom();
  testing::WriteFile(dir.File("big.hex"), "@3fff 01 02\n");
  testing::WriteFile(dir.File("bad.hex"), "01 zz\n");
  testing::WriteFile(dir.File("empty.hex"), "// nothing\n");
  testing::WriteFile(dir.File("repeats.hex"), ImageText(PatternBytes(256)) + "@0000 01\n");

  EXPECT_EQ(ProgramImage(rig.context, progress, dir.File("big.hex").c_str(), 0x51, 64, 2), 1);
  EXPECT_EQ(ProgramImage(rig.context, progress, dir.File("bad.hex").c_str(), 0x51, 64, 2), 1);
  EXPECT_EQ(ProgramImage(rig.context, progress, dir.File("empty.hex").c_str(), 0x51, 64, 2), 1);
  EXPECT_EQ(ProgramImage(rig.context, progress, dir.File("missing.hex").c_str(), 0x51, 64, 2), 1);
  DirectRig small(Route::Driver, {}, 256);
  EXPECT_EQ(ProgramImage(small.context, progress, dir.File("repeats.hex").c_str(), 0x51, 64, 1), 1);
  EXPECT_EQ(ProgramImage(rig.context, progress, Image(PatternBytes(10)).c_str(), 0x51, 0, 2), 1);
  EXPECT_EQ(ProgramImage(rig.context, progress, Image(PatternBytes(10)).c_str(), 0x51, 128, 2), 1);
  EXPECT_TRUE(rig.Trace().empty());
  EXPECT_TRUE(small.Trace().empty());
  EXPECT_EQ(rig.Eeprom(), before);
}

TEST_F(ProgramImageTest, VerifyCatchesWhatReadsBackWrong) {
  sim::BoardConfig config;
  config.corruptReadback = 130;
  std::string file = Image(PatternBytes(300));
  for (Route route : {Route::Feature, Route::Driver}) {
    DirectRig rig(route, config);
    EXPECT_EQ(ProgramImage(rig.context, progress, file.c_str(), 0x51, 64, 2), 1);
    EXPECT_EQ(BusSteps(rig.Trace()).back(), "R0080/64");  // stops at the page holding 130
  }
}

TEST_F(ProgramImageTest, PagesLargerThanTheBoardTakesFailUntilTheyFit) {
  sim::BoardConfig config;
  config.writeLimit = 32;  // 64-byte pages are refused, 32-byte ones taken
  DirectRig rig(Route::Driver, config);
  rig.Eeprom() = PatternBytes(16384, 5);
  std::string file = Image(PatternBytes(128));
  EXPECT_EQ(ProgramImage(rig.context, progress, file.c_str(), 0x51, 64, 2), 1);
  EXPECT_EQ(ProgramImage(rig.context, progress, file.c_str(), 0x51, 32, 2), 0);
  EXPECT_EQ(std::vector<std::uint8_t>(rig.Eeprom().begin(), rig.Eeprom().begin() + 128), PatternBytes(128));
}

struct ChangedCase {
  const char* name;
  std::vector<std::uint32_t> differing;  // addresses whose byte the board holds otherwise
  std::vector<std::string> writes;       // after the five page reads
  std::uint32_t pagesWritten;
};

class ChangedPagesTest : public ProgramImageTest, public ::testing::WithParamInterface<ChangedCase> {};

// 200 bytes in 64-byte pages: reads 0000, 0040, 0080, 00c0 (8 bytes); then only what differs,
// between the header's erase and its write.
TEST_P(ChangedPagesTest, WritesOnlyWhatDiffersBetweenTheHeadersEraseAndWrite) {
  const ChangedCase& c = GetParam();
  DirectRig rig(Route::Driver);
  std::vector<std::uint8_t> bytes = PatternBytes(200);
  std::copy(bytes.begin(), bytes.end(), rig.Eeprom().begin());
  for (std::uint32_t address : c.differing) rig.Eeprom()[address] ^= 0x5A;

  std::uint32_t pagesWritten = 99;
  ASSERT_EQ(ProgramChangedPages(rig.context, progress, Image(bytes).c_str(), ImageFormat::Text, 0x51, 64, 2,
                                pagesWritten),
            0);
  std::vector<std::string> expected = {"R0000/64", "R0040/64", "R0080/64", "R00c0/8"};
  expected.insert(expected.end(), c.writes.begin(), c.writes.end());
  EXPECT_EQ(BusSteps(rig.Trace()), expected);
  EXPECT_EQ(pagesWritten, c.pagesWritten);
  EXPECT_EQ(progress.steps, 4);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), rig.Eeprom().begin()));
}

INSTANTIATE_TEST_SUITE_P(
    Pages, ChangedPagesTest,
    ::testing::Values(ChangedCase{"Same", {}, {}, 0},
                      ChangedCase{"Body", {0x85, 0xC7},
                                  {"W0000/64", "W0080/64", "R0080/64", "W00c0/8", "R00c0/8", "W0000/64", "R0000/64"}, 3},
                      ChangedCase{"Header", {0x09}, {"W0000/64", "W0000/64", "R0000/64"}, 1}),
    [](const ::testing::TestParamInfo<ChangedCase>& info) { return info.param.name; });

TEST_F(ProgramImageTest, ComparisonCountsTheDifferencesAndKeepsTheFirst) {
  DirectRig rig(Route::Feature);
  std::vector<std::uint8_t> bytes = PatternBytes(100);
  std::copy(bytes.begin(), bytes.end(), rig.Eeprom().begin());
  rig.Eeprom()[70] = static_cast<std::uint8_t>(bytes[70] ^ 0xFF);
  rig.Eeprom()[99] = static_cast<std::uint8_t>(bytes[99] + 1);
  ImageMismatch mismatch;
  ASSERT_EQ(CompareEeprom(rig.context, progress, 0x51, 2, bytes.data(), 100, 64, mismatch), 0);
  EXPECT_EQ(mismatch.count, 2u);
  EXPECT_EQ(mismatch.firstAddress, 70u);
  EXPECT_EQ(mismatch.expected, bytes[70]);
  EXPECT_EQ(mismatch.found, static_cast<std::uint8_t>(bytes[70] ^ 0xFF));
  EXPECT_EQ(progress.steps, 2);
  std::vector<std::string> trace = rig.Trace();
  EXPECT_TRUE(std::none_of(trace.begin(), trace.end(),
                           [](const std::string& line) { return line.find("write") != std::string::npos; }));
}

}  // namespace
}  // namespace tessora

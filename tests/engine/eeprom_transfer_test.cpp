#include "engine/eeprom_transfer.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/test_support.h"

namespace tessora {
namespace {

using testing::CountingProgress;
using testing::DirectRig;
using testing::Route;

TEST(ClearEepromPages, ErasesTheWholeCapacityPageByPage) {
  DirectRig rig(Route::Driver);
  rig.Eeprom() = testing::PatternBytes(16384);
  CountingProgress progress;
  ASSERT_EQ(ClearEepromPages(rig.context, progress, 0x51, 2, 64), 0);
  EXPECT_EQ(progress.steps, 256);
  EXPECT_EQ(rig.Eeprom(), std::vector<std::uint8_t>(16384, 0xFF));
  EXPECT_EQ(rig.Trace().size(), 512u);
  EXPECT_NE(rig.Trace()[510].find("sub=3fc0 len=64"), std::string::npos);

  DirectRig small(Route::Feature, {}, 256);
  CountingProgress fewer;
  ASSERT_EQ(ClearEepromPages(small.context, fewer, 0x51, 1, 64), 0);
  EXPECT_EQ(fewer.steps, 4);
}

TEST(ClearEepromPages, FailsAtOnceOnAPageThatDoesNotReadBackBlank) {
  sim::BoardConfig config;
  config.corruptReadback = 70;
  DirectRig rig(Route::Driver, config);
  CountingProgress progress;
  EXPECT_EQ(ClearEepromPages(rig.context, progress, 0x51, 2, 64), 1);
  EXPECT_EQ(progress.steps, 1);
  // A width the program cannot address clears nothing and must not claim success.
  EXPECT_EQ(ClearEepromPages(rig.context, progress, 0x51, 3, 64), 1);
  EXPECT_EQ(ClearEepromPages(rig.context, progress, 0x51, 2, 0), 1);
}

TEST(ReadHeaderSize, SumsTheTwoBigEndianLengths) {
  DirectRig blank(Route::Feature);
  EXPECT_EQ(ReadHeaderSize(blank.context, 0x51, 2), 131070);

  DirectRig rig(Route::Driver, {}, 256);
  rig.Eeprom()[9] = 0x01;
  rig.Eeprom()[10] = 0x02;
  rig.Eeprom()[11] = 0x00;
  rig.Eeprom()[12] = 0x10;
  EXPECT_EQ(ReadHeaderSize(rig.context, 0x51, 1), 0x0102 + 0x10);
  EXPECT_EQ(rig.Trace(), (std::vector<std::string>{"filterdriver bus-read dev=51 sub=0b len=2 result=ok",
                                                    "filterdriver bus-read dev=51 sub=09 len=2 result=ok"}));
  EXPECT_EQ(ReadHeaderSize(rig.context, 0x52, 1), 0);  // nobody answers there
  EXPECT_EQ(ReadHeaderSize(rig.context, 0x51, 0), 0);
}

TEST(HidTransfers, ReportLengthsDecideWhatADeviceCanCarry) {
  sim::BoardConfig longReports;
  longReports.featureReportLength = 129;
  DirectRig tooLong(Route::Feature, longReports);
  const std::uint8_t sub[2] = {0, 0};
  std::uint8_t data[64] = {};
  EXPECT_EQ(WriteEepromBlock(tooLong.context, 0x51, 2, sub, 8, data), 1);
  EXPECT_EQ(ReadEepromBlock(tooLong.context, 0x51, 2, sub, 8, data), 1);
  EXPECT_EQ(RebootDevice(tooLong.context, 2), 0);

  // A report too short for the request would cut it: the page write is refused, a
  // smaller one goes through.
  sim::BoardConfig shortReports;
  shortReports.featureReportLength = 64;
  DirectRig cut(Route::Feature, shortReports);
  EXPECT_EQ(WriteEepromBlock(cut.context, 0x51, 2, sub, 64, data), 1);
  EXPECT_EQ(ReadEepromBlock(cut.context, 0x51, 2, sub, 64, data), 1);
  EXPECT_EQ(WriteEepromBlock(cut.context, 0x51, 2, sub, 32, data), 0);
  EXPECT_EQ(ReadEepromBlock(cut.context, 0x51, 2, sub, 32, data), 0);
  EXPECT_TRUE(tooLong.Trace().empty());
}

TEST(HidTransfers, ReadFailsWhenTheAnswerDoesNotEchoTheCommand) {
  for (Route route : {Route::Feature, Route::OutputInput}) {
    DirectRig rig(route);
    const std::uint8_t sub[2] = {0, 0};
    std::uint8_t data[64];
    EXPECT_EQ(ReadEepromBlock(rig.context, 0x51, 2, sub, 16, data), 0);
    EXPECT_EQ(ReadEepromBlock(rig.context, 0x50, 2, sub, 16, data), 1);  // not acknowledged
    EXPECT_EQ(ReadEepromBlock(rig.context, 0x51, 2, sub, 65, data), 1);
  }
  DirectRig noDevice(Route::Feature);
  noDevice.context.hidDevice.reset();
  std::uint8_t data[4];
  EXPECT_EQ(ReadEepromBlock(noDevice.context, 0x51, 2, data, 4, data), 1);
}

TEST(WriteDeviceMemory, SendsChunksUntilOneIsNotDelivered) {
  std::vector<std::uint8_t> data(150, 0x5A);
  DirectRig hid(Route::Feature);
  EXPECT_EQ(WriteDeviceMemory(hid.context, 0x1000, 150, data.data()), 150u);
  EXPECT_EQ(hid.Trace().size(), 3u);  // 64 + 64 + 22
  EXPECT_NE(hid.Trace()[2].find("addr=1080 len=22"), std::string::npos);

  DirectRig driver(Route::Driver);
  EXPECT_EQ(WriteDeviceMemory(driver.context, 0x1000, 150, data.data()), 150u);
  EXPECT_EQ(driver.Trace().size(), 2u);  // 128 + 22

  sim::BoardConfig config;
  config.failAfter = 1;
  DirectRig unplugged(Route::Feature, config);
  EXPECT_EQ(WriteDeviceMemory(unplugged.context, 0x1000, 150, data.data()), 64u);
}

}  // namespace
}  // namespace tessora

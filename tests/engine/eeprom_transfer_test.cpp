#include "engine/eeprom_transfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "engine/hid_requests.h"
#include "engine/qorv_device_dispatch.h"
#include "tests/support/device_rig.h"

namespace tessora {
namespace {

using test::EngineRig;
using test::Route;

// The read-back stops the clear at the first bad page; a width the program cannot
// address, or no page size, clears nothing and must not claim success. The header
// lengths are read from wherever the part answers, or not at all.
TEST(EepromTransfer, ClearAndHeaderSizeClaimNothingTheyDidNotDo) {
  EngineRig bad(Route::Driver, {.corruptReadback = 70});
  EXPECT_EQ(ClearEepromPages(bad.context, bad.progress, 0x51, 2, 64), 1);
  EXPECT_EQ(bad.progress.steps, 1);
  EXPECT_EQ(ClearEepromPages(bad.context, bad.progress, 0x51, 3, 64), 1);
  EXPECT_EQ(ClearEepromPages(bad.context, bad.progress, 0x51, 2, 0), 1);

  EngineRig small(Route::Driver, {}, 256);
  const std::uint8_t lengths[4] = {0x01, 0x02, 0x00, 0x10};
  std::copy(lengths, lengths + 4, small.Eeprom().begin() + 9);
  EXPECT_EQ(ReadHeaderSize(small.context, 0x51, 1), 0x0102 + 0x10);  // big-endian, at 9 and 11
  EXPECT_EQ(ReadHeaderSize(small.context, 0x52, 1), 0);              // nobody answers there
  EXPECT_EQ(ReadHeaderSize(small.context, 0x51, 0), 0);
}

// A device report too long for the request buffer, or too short to carry the whole
// request, would cut it: such a device is not taken, such requests are refused, smaller
// ones go through.
TEST(HidTransfers, ReportLengthsAndTheAnswersEchoDecide) {
  const std::uint8_t sub[2] = {0, 0};
  std::uint8_t data[64] = {};
  EngineRig tooLong(Route::Feature, {.featureReportLength = 129});
  EXPECT_EQ(WriteEepromBlock(tooLong.context, 0x51, 2, sub, 8, data), 1);
  EXPECT_EQ(ReadEepromBlock(tooLong.context, 0x51, 2, sub, 8, data), 1);
  EXPECT_EQ(RebootDevice(tooLong.context, 2), 0);
  EXPECT_FALSE(tooLong.context.hidDevice->IsOpen());
  EXPECT_TRUE(tooLong.Trace().empty());

  EngineRig cut(Route::Feature, {.featureReportLength = 64});
  EXPECT_EQ(WriteEepromBlock(cut.context, 0x51, 2, sub, 64, data), 1);
  EXPECT_EQ(ReadEepromBlock(cut.context, 0x51, 2, sub, 64, data), 1);
  EXPECT_EQ(WriteEepromBlock(cut.context, 0x51, 2, sub, 32, data), 0);
  EXPECT_EQ(ReadEepromBlock(cut.context, 0x51, 2, sub, 32, data), 0);

  for (Route route : {Route::Feature, Route::OutputInput}) {
    EngineRig rig(route);
    EXPECT_EQ(ReadEepromBlock(rig.context, 0x50, 2, sub, 16, data), 1);  // not acknowledged: no echo
    EXPECT_EQ(ReadEepromBlock(rig.context, 0x51, 2, sub, 65, data), 1);
    rig.context.hidDevice.reset();
    EXPECT_EQ(ReadEepromBlock(rig.context, 0x51, 2, sub, 4, data), 1);
  }
}

TEST(HidRequests, BytesOfEveryCommandAndNothingPastTheBuffer) {
  using Bytes = std::vector<std::uint8_t>;
  const std::uint8_t data[3] = {0xAA, 0xBB, 0xCC};
  const std::uint8_t sub[2] = {0x01, 0x40};
  // The request as built, up to the length the builder gives; the rest must be zero.
  auto built = [](auto build) {
    HidRequest request;
    request.fill(0xEE);
    std::size_t used = build(request);
    EXPECT_TRUE(std::all_of(request.begin() + used, request.end(), [](std::uint8_t b) { return b == 0; }));
    return Bytes(request.begin(), request.begin() + used);
  };
  EXPECT_EQ(built([&](HidRequest& r) { return BuildMemoryWriteRequest(0xB001, data, r); }),
            (Bytes{0xFF, 0x01, 0xB0, 0x01, 0x03, 0xAA, 0xBB, 0xCC}));
  EXPECT_EQ(built([&](HidRequest& r) { return BuildBusWriteRequest(0x51, 2, sub, data, r); }),
            (Bytes{0xFF, 0x05, 0xA2, 0x00, 0x03, 0x02, 0x01, 0x40, 0xFF, 0xFF, 0xAA, 0xBB, 0xCC}));
  EXPECT_EQ(built([&](HidRequest& r) { return BuildBusReadRequest(0x51, 1, sub + 1, 16, r); }),
            (Bytes{0xFF, 0x04, 0xA3, 0x00, 0x10, 0x01, 0x40, 0x00}));

  HidRequest request;
  Bytes big(130, 0x11);
  EXPECT_EQ(BuildMemoryWriteRequest(0, std::span(big.data(), 65), request), 0u);
  EXPECT_EQ(BuildMemoryWriteRequest(0, std::span(big.data(), 0), request), 0u);
  EXPECT_EQ(BuildBusWriteRequest(0x51, 2, sub, std::span(big.data(), 118), request), 128u);
  EXPECT_EQ(BuildBusWriteRequest(0x51, 2, sub, std::span(big.data(), 119), request), 0u);
  EXPECT_EQ(BuildBusWriteRequest(0x51, 1, sub, std::span(big.data(), 120), request), 0u);
  EXPECT_EQ(BuildBusWriteRequest(0x51, 3, sub, std::span(big.data(), 1), request), 0u);
  EXPECT_EQ(BuildBusReadRequest(0x51, 2, sub, 65, request), 0u);
  EXPECT_EQ(BuildBusReadRequest(0x51, 2, sub, 0, request), 0u);
}

TEST(RebootDevice, SendsTheThreeBytesAtB001) {
  EngineRig rig(Route::Feature);
  EXPECT_EQ(RebootDevice(rig.context, 3), 1);
  EXPECT_EQ(RebootDevice(rig.context, 4), 0);
  EXPECT_EQ(rig.Trace(), (std::vector<std::string>{"hid mem-write addr=b001 len=3 data=006107"}));
}

struct ShortWrites : QorvDeviceDispatch {
  using QorvDeviceDispatch::QorvDeviceDispatch;
  std::uint32_t DispatchMemoryWrite(std::uint32_t handle, std::uint16_t address, std::uint32_t count,
                                    const std::uint8_t* data) override {
    return QorvDeviceDispatch::DispatchMemoryWrite(handle, address, count, data) != 0 ? count / 2 : 0;
  }
};

TEST(WriteDeviceMemory, CountsWhatTheTransportDeliversAndStopsAtAShortChunk) {
  std::vector<std::uint8_t> data(150, 0x5A);
  EngineRig hid(Route::Feature);
  EXPECT_EQ(WriteDeviceMemory(hid.context, 0x1000, 150, data.data()), 150u);
  EXPECT_EQ(hid.Trace().size(), 3u);  // 64 + 64 + 22
  EXPECT_NE(hid.Trace()[2].find("addr=1080 len=22"), std::string::npos);

  EngineRig driver(Route::Driver);
  EXPECT_EQ(WriteDeviceMemory(driver.context, 0x1000, 150, data.data()), 150u);
  EXPECT_EQ(driver.Trace().size(), 2u);  // 128 + 22

  ShortWrites shortWrites(driver.library);
  EngineContext shortContext(driver.settings, shortWrites);
  shortContext.currentDevice = driver.context.currentDevice;
  EXPECT_EQ(WriteDeviceMemory(shortContext, 0x1000, 150, data.data()), 64u);
  EXPECT_EQ(driver.Trace().size(), 3u);

  EngineRig unplugged(Route::Feature, {.failAfter = 1});
  EXPECT_EQ(WriteDeviceMemory(unplugged.context, 0x1000, 150, data.data()), 64u);
}

}  // namespace
}  // namespace tessora

#include "engine/hid_requests.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/eeprom_transfer.h"
#include "tests/support/test_support.h"

namespace tessora {
namespace {

std::vector<std::uint8_t> Head(const HidRequest& request, std::size_t count) {
  return std::vector<std::uint8_t>(request.begin(), request.begin() + count);
}

bool RestIsZero(const HidRequest& request, std::size_t from) {
  for (std::size_t i = from; i < request.size(); ++i)
    if (request[i] != 0) return false;
  return true;
}

TEST(HidRequests, BytesOfEveryCommand) {
  HidRequest request;
  request.fill(0xEE);
  const std::uint8_t data[3] = {0xAA, 0xBB, 0xCC};
  const std::uint8_t sub2[2] = {0x01, 0x40};
  const std::uint8_t sub1[1] = {0x40};

  ASSERT_EQ(BuildMemoryWriteRequest(0xB001, data, request), 8u);
  EXPECT_EQ(Head(request, 8), (std::vector<std::uint8_t>{0xFF, 0x01, 0xB0, 0x01, 0x03, 0xAA, 0xBB, 0xCC}));
  EXPECT_TRUE(RestIsZero(request, 8));

  ASSERT_EQ(BuildBusWriteRequest(0x51, 2, sub2, data, request), 13u);
  EXPECT_EQ(Head(request, 13),
            (std::vector<std::uint8_t>{0xFF, 0x05, 0xA2, 0x00, 0x03, 0x02, 0x01, 0x40, 0xFF, 0xFF, 0xAA, 0xBB, 0xCC}));
  EXPECT_TRUE(RestIsZero(request, 13));

  ASSERT_EQ(BuildBusWriteRequest(0x51, 1, sub1, data, request), 12u);
  EXPECT_EQ(Head(request, 12),
            (std::vector<std::uint8_t>{0xFF, 0x05, 0xA2, 0x00, 0x03, 0x01, 0x40, 0xFF, 0xFF, 0xAA, 0xBB, 0xCC}));

  ASSERT_EQ(BuildBusReadRequest(0x51, 2, sub2, 64, request), 8u);
  EXPECT_EQ(Head(request, 8), (std::vector<std::uint8_t>{0xFF, 0x04, 0xA3, 0x00, 0x40, 0x02, 0x01, 0x40}));
  EXPECT_TRUE(RestIsZero(request, 8));

  ASSERT_EQ(BuildBusReadRequest(0x51, 1, sub1, 16, request), 8u);
  EXPECT_EQ(Head(request, 8), (std::vector<std::uint8_t>{0xFF, 0x04, 0xA3, 0x00, 0x10, 0x01, 0x40, 0x00}));
}

TEST(HidRequests, NothingIsBuiltPastTheBuffer) {
  HidRequest request;
  std::vector<std::uint8_t> data(130, 0x11);
  const std::uint8_t sub[2] = {0, 0};
  EXPECT_EQ(BuildMemoryWriteRequest(0, std::span(data.data(), 65), request), 0u);
  EXPECT_EQ(BuildMemoryWriteRequest(0, std::span(data.data(), 0), request), 0u);
  EXPECT_EQ(BuildBusWriteRequest(0x51, 2, sub, std::span(data.data(), 118), request), 128u);
  EXPECT_EQ(BuildBusWriteRequest(0x51, 2, sub, std::span(data.data(), 119), request), 0u);
  EXPECT_EQ(BuildBusWriteRequest(0x51, 1, sub, std::span(data.data(), 120), request), 0u);
  EXPECT_EQ(BuildBusWriteRequest(0x51, 3, sub, std::span(data.data(), 1), request), 0u);
  EXPECT_EQ(BuildBusReadRequest(0x51, 2, sub, 65, request), 0u);
  EXPECT_EQ(BuildBusReadRequest(0x51, 2, sub, 0, request), 0u);
}

TEST(HidRequests, RebootSendsTheThreeBytesAtB001) {
  testing::DirectRig rig(testing::Route::Feature);
  EXPECT_EQ(RebootDevice(rig.context, 2), 1);
  EXPECT_EQ(RebootDevice(rig.context, 1), 1);
  EXPECT_EQ(RebootDevice(rig.context, 3), 1);
  EXPECT_EQ(RebootDevice(rig.context, 4), 0);
  EXPECT_EQ(rig.Trace(), (std::vector<std::string>{"hid reboot mode=rom", "hid reboot mode=eeprom",
                                                    "hid mem-write addr=b001 len=3 data=006107"}));
}

}  // namespace
}  // namespace tessora

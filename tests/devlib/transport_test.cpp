#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "devlib/bus_command.h"
#include "devlib/filter_driver_transport.h"
#include "devlib/qorv_device_library.h"
#include "devlib/winusb_transport.h"
#include "tests/support/device_rig.h"

namespace tessora {
namespace {

using test::DeviceRig;

const std::uint8_t kSub[2] = {0x01, 0x00};
const std::uint8_t kData[3] = {0xAA, 0xBB, 0xCC};

class TransportTest : public ::testing::TestWithParam<bool> {
 protected:
  QorvDevice& Device(sim::BoardConfig config = {}) {
    board = &rig.AddBoard(config);
    rig.library.SetInterfaceGuid(GetParam() ? WinUsbInterfaceGuid : FilterDriverInterfaceGuid);
    rig.library.BuildDeviceList(false);
    return *rig.library.FindByHandle(rig.library.FirstDevice());
  }
  std::uint32_t Bus(QorvDevice& device, std::uint8_t* into = nullptr) {
    auto transfer = [&](auto transport) {
      return into ? transport.BusRead(0x51, 2, kSub, 3, into) : transport.BusWrite(0x51, 2, kSub, 3, kData);
    };
    return GetParam() ? transfer(WinUsbTransport(device)) : transfer(FilterDriverTransport(device));
  }
  static bool LockIsFree(QorvDevice& device) {
    bool taken = false;
    std::thread([&] { taken = device.Lock(0) && (device.Unlock(), true); }).join();
    return taken;
  }

  DeviceRig rig;
  sim::SimBoard* board = nullptr;
};

TEST(BusCommand, PacketsAndPauses) {
  EXPECT_EQ(BuildBusCommand(false, 0x51, 2, kSub, 3, kData),
            (std::vector<std::uint8_t>{0xA2, 0x00, 0x03, 0x02, 0x01, 0x00, 0xFF, 0xFF, 0xAA, 0xBB, 0xCC}));
  const std::uint8_t sub[2] = {0x00, 0x10};
  EXPECT_EQ(BuildBusCommand(true, 0x51, 2, sub, 16, nullptr),
            (std::vector<std::uint8_t>{0xA3, 0x00, 0x10, 0x02, 0x00, 0x10, 0xFF, 0xFF}));
  const std::pair<std::size_t, std::uint32_t> pauses[] = {{6, 1}, {8, 2}, {11, 2}, {72, 7}, {136, 12}};
  for (auto [length, pause] : pauses) EXPECT_EQ(BusCommandPause(length), pause) << length;
}

// Each way a bus transaction ends, through either transport, and the 1 ms pauses after
// its status reads: after each but one that reports the transaction done (the board
// reports it busy twice first). None keeps the device open or locked.
TEST_P(TransportTest, BusOutcomes) {
  struct Case {
    const char* name;
    sim::BoardConfig config;
    bool read;
    std::uint32_t result;
    std::uint32_t pollPauses;
  };
  const Case cases[] = {
      {"done", {}, false, kBusOk, 2}, {"done as 0xff", {.doneStatus = 0xFF}, false, kBusOk, 2},
      {"nobody answers", {.eepromAddress = 0x50}, false, kBusDeviceFailed, 3},
      {"data short", {.shortBusData = 1}, true, kBusDataIncomplete, 2},
      {"stuck busy", {.busyPolls = -1}, false, kBusStatusTimeout, 100},
      {"status read fails", {.statusReadFails = 1}, false, kBusCommandRefused, 1},
      {"unplugged", {.failAfter = 0}, false, kBusCommandRefused, 0},
      {"not opened", {.openFails = true}, false, kBusNotOpened, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QorvDevice& device = Device(c.config);
    std::uint8_t back[3] = {};
    std::uint64_t slept = rig.os.SleptMilliseconds();
    EXPECT_EQ(Bus(device, c.read ? back : nullptr), c.result);
    // The FilterDriver also pauses 2 ms for either packet once the device is open.
    std::uint32_t commandPause = GetParam() || c.result == kBusNotOpened ? 0 : 2;
    EXPECT_EQ(rig.os.SleptMilliseconds() - slept, commandPause + c.pollPauses);
    EXPECT_EQ(rig.stack.OpenHandleCount(), 0u);
    EXPECT_TRUE(LockIsFree(device));
  }
}

TEST_P(TransportTest, WriteReadBackAndTheirPauses) {
  QorvDevice& device = Device({.busyPolls = 3});
  ASSERT_EQ(Bus(device), kBusOk);
  // FilterDriver pauses for the 11-byte packet; both poll four times 1 ms apart, with no
  // pause after the fourth, which finds the write done.
  EXPECT_EQ(rig.os.SleptMilliseconds(), GetParam() ? 3u : 2u + 3u);
  std::uint8_t back[3] = {};
  ASSERT_EQ(Bus(device, back), kBusOk);
  EXPECT_EQ(std::vector<std::uint8_t>(back, back + 3), std::vector<std::uint8_t>(kData, kData + 3));
  EXPECT_EQ(board->TraceLines()[0], std::string(GetParam() ? "winusb" : "filterdriver") +
                                        " bus-write dev=51 sub=0100 len=3 data=aabbcc result=ok");
  board->MutableConfig().busyPolls = -1;
  std::uint64_t sleeps = rig.os.SleepCount();
  EXPECT_EQ(Bus(device), kBusStatusTimeout);
  EXPECT_EQ(rig.os.SleepCount() - sleeps, (GetParam() ? 0u : 1u) + 100u);
}

INSTANTIATE_TEST_SUITE_P(EachDriver, TransportTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "WinUsb" : "FilterDriver"; });

TEST(FilterDriverTransport, CrcErrorsAreTriedSixTimesOtherErrorsOnce) {
  DeviceRig rig;
  sim::SimBoard& board = rig.AddBoard({.crcErrors = 5});
  rig.library.BuildDeviceList(false);
  FilterDriverTransport driver(*rig.library.FindByHandle(rig.library.FirstDevice()));
  std::uint8_t byte = 0;
  EXPECT_EQ(driver.MemoryRead(0, 1, &byte), 1u);
  EXPECT_EQ(rig.stack.ioControls, 6);
  board.MutableConfig().crcErrors = 6;
  EXPECT_EQ(driver.MemoryRead(0, 1, &byte), 0u);
  EXPECT_EQ(rig.stack.ioControls, 12);
  EXPECT_EQ(board.TraceLines().size(), 1u);  // the failed request never reached the board
  rig.stack.unplugAfterOpen = true;
  EXPECT_EQ(driver.MemoryWrite(0x10, 3, kData), 0u);
  EXPECT_EQ(rig.stack.ioControls, 13);
}

TEST(WinUsbTransport, MemoryAndAnInterfaceThatDoesNotInitialise) {
  DeviceRig rig;
  sim::SimBoard& board = rig.AddBoard();
  rig.library.SetInterfaceGuid(WinUsbInterfaceGuid);
  rig.library.BuildDeviceList(false);
  WinUsbTransport usb(*rig.library.FindByHandle(rig.library.FirstDevice()));
  EXPECT_EQ(usb.MemoryWrite(0x20, 3, kData), 3u);
  std::uint8_t memory[3] = {};
  EXPECT_EQ(usb.MemoryRead(0x20, 3, memory), 3u);
  EXPECT_EQ(memory[2], 0xCC);
  board.MutableConfig().winUsbInitFails = true;
  EXPECT_EQ(usb.MemoryRead(0x20, 1, memory), 0u);
  EXPECT_EQ(usb.BusWrite(0x51, 2, kSub, 3, kData), kBusNotOpened);
  EXPECT_EQ(rig.stack.OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace tessora

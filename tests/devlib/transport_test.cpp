#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "devlib/bus_command.h"
#include "devlib/filter_driver_transport.h"
#include "devlib/winusb_transport.h"
#include "tests/support/driver_rig.h"

namespace tessora {
namespace {

using testing::DriverRig;

const std::uint8_t kSub[2] = {0x01, 0x00};
const std::uint8_t kData[3] = {0xAA, 0xBB, 0xCC};

class TransportTest : public ::testing::Test {
 protected:
  QorvDevice& Device(sim::BoardConfig config = {}, bool winUsb = false) {
    board = &rig.AddBoard(config);
    rig.library.SetInterfaceGuid(winUsb ? WinUsbInterfaceGuid : FilterDriverInterfaceGuid);
    rig.library.BuildDeviceList(false);
    return *rig.library.FindByHandle(rig.library.FirstDevice());
  }
  // True when another thread can take the device's lock: nobody kept it.
  static bool LockIsFree(QorvDevice& device) {
    bool taken = false;
    std::thread other([&] {
      taken = device.Lock(0);
      if (taken) device.Unlock();
    });
    other.join();
    return taken;
  }

  DriverRig rig;
  sim::SimBoard* board = nullptr;
};

TEST(BusCommand, PacketsAndPauses) {
  EXPECT_EQ(BuildBusCommand(false, 0x51, 2, kSub, 3, kData),
            (std::vector<std::uint8_t>{0xA2, 0x00, 0x03, 0x02, 0x01, 0x00, 0xFF, 0xFF, 0xAA, 0xBB, 0xCC}));
  const std::uint8_t sub[2] = {0x00, 0x10};
  EXPECT_EQ(BuildBusCommand(true, 0x51, 2, sub, 16, nullptr),
            (std::vector<std::uint8_t>{0xA3, 0x00, 0x10, 0x02, 0x00, 0x10, 0xFF, 0xFF}));
  EXPECT_EQ(BuildBusCommand(false, 0xD1, 0, nullptr, 1, kData),
            (std::vector<std::uint8_t>{0xA2, 0x00, 0x01, 0x00, 0xFF, 0xFF, 0xAA}));
  const std::pair<std::size_t, std::uint32_t> pauses[] = {{6, 1}, {8, 2}, {11, 2}, {72, 7}, {136, 12}};
  for (auto [length, pause] : pauses) EXPECT_EQ(BusCommandPause(length), pause) << length;
}

TEST_F(TransportTest, CrcErrorsAreTriedSixTimesOtherErrorsOnce) {
  sim::BoardConfig config;
  config.crcErrors = 5;
  FilterDriverTransport driver(Device(config));
  std::uint8_t byte = 0;
  EXPECT_EQ(driver.MemoryRead(0, 1, &byte), 1u);
  EXPECT_EQ(rig.stack.ioControls, 6);

  board->MutableConfig().crcErrors = 6;
  EXPECT_EQ(driver.MemoryRead(0, 1, &byte), 0u);
  EXPECT_EQ(rig.stack.ioControls, 12);
  EXPECT_EQ(board->TraceLines().size(), 1u);  // the failed request never reached the board

  rig.stack.unplugAfterOpen = true;
  EXPECT_EQ(driver.MemoryWrite(0x10, 3, kData), 0u);
  EXPECT_EQ(rig.stack.ioControls, 13);
  EXPECT_EQ(rig.stack.OpenHandleCount(), 0u);
}

TEST_F(TransportTest, FilterDriverBusOutcomes) {
  sim::BoardConfig config;
  config.busyPolls = 3;
  FilterDriverTransport driver(Device(config));
  ASSERT_EQ(driver.BusWrite(0x51, 2, kSub, 3, kData), kBusOk);
  // The pause for the 11-byte packet, then four status reads 1 ms apart.
  EXPECT_EQ(rig.clock.SleptMilliseconds(), 2u + 4u);
  std::uint8_t back[3] = {};
  ASSERT_EQ(driver.BusRead(0x51, 2, kSub, 3, back), kBusOk);
  EXPECT_EQ(std::vector<std::uint8_t>(back, back + 3), std::vector<std::uint8_t>(kData, kData + 3));
  EXPECT_EQ(board->TraceLines()[0], "filterdriver bus-write dev=51 sub=0100 len=3 data=aabbcc result=ok");

  EXPECT_EQ(driver.BusWrite(0x50, 2, kSub, 3, kData), kBusDeviceFailed);  // nobody at 0x50

  board->MutableConfig().shortBusData = 1;
  std::uint8_t partial[3] = {};
  EXPECT_EQ(driver.BusRead(0x51, 2, kSub, 3, partial), kBusDataIncomplete);
  EXPECT_EQ(partial[1], 0xBB);  // what did arrive is there
  board->MutableConfig().shortBusData = 0;

  board->MutableConfig().busyPolls = -1;
  std::uint64_t sleeps = rig.clock.SleepCount();
  EXPECT_EQ(driver.BusWrite(0x51, 2, kSub, 3, kData), kBusStatusTimeout);
  EXPECT_EQ(rig.clock.SleepCount() - sleeps, 1u + 100u);

  board->MutableConfig().failAfter = 0;  // the command itself goes unanswered
  std::uint64_t slept = rig.clock.SleptMilliseconds();
  EXPECT_EQ(driver.BusWrite(0x51, 2, kSub, 3, kData), kBusCommandRefused);
  EXPECT_EQ(rig.clock.SleptMilliseconds() - slept, 2u);
  EXPECT_EQ(rig.stack.OpenHandleCount(), 0u);
  EXPECT_TRUE(LockIsFree(*rig.library.FindByHandle(rig.library.FirstDevice())));
}

TEST_F(TransportTest, WinUsbOperations) {
  sim::BoardConfig config;
  config.busyPolls = 3;
  QorvDevice& device = Device(config, true);
  WinUsbTransport usb(device);
  EXPECT_EQ(usb.MemoryWrite(0x20, 3, kData), 3u);
  std::uint8_t memory[3] = {};
  EXPECT_EQ(usb.MemoryRead(0x20, 3, memory), 3u);
  EXPECT_EQ(memory[2], 0xCC);
  ASSERT_EQ(usb.BusWrite(0x51, 2, kSub, 3, kData), kBusOk);
  EXPECT_EQ(rig.clock.SleptMilliseconds(), 4u);  // no pause after the command, four polls
  std::uint8_t back[3] = {};
  EXPECT_EQ(usb.BusRead(0x51, 2, kSub, 3, back), kBusOk);
  EXPECT_EQ(back[0], 0xAA);
  EXPECT_EQ(board->TraceLines()[2], "winusb bus-write dev=51 sub=0100 len=3 data=aabbcc result=ok");

  board->MutableConfig().shortBusData = 2;
  EXPECT_EQ(usb.BusRead(0x51, 2, kSub, 3, back), kBusDataIncomplete);
  board->MutableConfig().shortBusData = 0;

  board->MutableConfig().busyPolls = -1;
  std::uint64_t sleeps = rig.clock.SleepCount();
  EXPECT_EQ(usb.BusRead(0x51, 2, kSub, 3, back), kBusStatusTimeout);
  EXPECT_EQ(rig.clock.SleepCount() - sleeps, 100u);
  EXPECT_EQ(rig.stack.OpenHandleCount(), 0u);
  EXPECT_TRUE(LockIsFree(device));
}

TEST_F(TransportTest, DevicesThatDoNotOpenOrInitialise) {
  sim::BoardConfig config;
  config.winUsbInitFails = true;
  QorvDevice& device = Device(config, true);
  WinUsbTransport usb(device);
  std::uint8_t byte = 0;
  EXPECT_EQ(usb.MemoryRead(0, 1, &byte), 0u);
  EXPECT_EQ(usb.BusWrite(0x51, 2, kSub, 3, kData), kBusNotOpened);
  EXPECT_EQ(rig.stack.OpenHandleCount(), 0u);
  EXPECT_TRUE(LockIsFree(device));

  board->MutableConfig().openFails = true;
  EXPECT_EQ(usb.BusRead(0x51, 2, kSub, 1, &byte), kBusNotOpened);
  rig.library.SetInterfaceGuid(FilterDriverInterfaceGuid);
  rig.library.BuildDeviceList(false);
  FilterDriverTransport driver(*rig.library.FindByHandle(rig.library.FirstDevice()));
  EXPECT_EQ(driver.MemoryRead(0, 1, &byte), 0u);
  EXPECT_EQ(driver.BusWrite(0x51, 2, kSub, 3, kData), kBusNotOpened);
  EXPECT_TRUE(board->TraceLines().empty());
  EXPECT_EQ(rig.stack.OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace tessora

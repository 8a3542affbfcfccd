#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devlib/bus_command.h"
#include "engine/connection.h"
#include "hid/hid_device.h"
#include "tests/support/driver_rig.h"
#include "tests/support/hid_system.h"
#include "tests/support/test_support.h"

namespace tessora {
namespace {

using testing::DriverRig;
using testing::HidSystem;

sim::BoardConfig Silent() {
  sim::BoardConfig config;
  config.openFails = true;
  return config;
}

// Nothing listed ends at once; devices listed but silent cost one pause, or a search every
// 100 ms within a longer budget. The first that answers is taken.
TEST(FindDriverDevice, SilenceCostsOnePausePerSearch) {
  DriverRig rig;
  rig.context.currentDevice = 0x564D0083;
  EXPECT_FALSE(ConnectDevice(rig.context));
  EXPECT_EQ(rig.context.pageSize, 64);
  EXPECT_EQ(rig.context.currentDevice, 0u);
  EXPECT_EQ(rig.clock.SleepCount(), 0u);

  rig.AddBoard(Silent());
  EXPECT_FALSE(ConnectDevice(rig.context));
  EXPECT_EQ(rig.clock.SleptMilliseconds(), 100u);
  EXPECT_EQ(FindDriverDevice(rig.context, 350), 1);
  EXPECT_EQ(rig.clock.SleptMilliseconds(), 100u + 400u);

  rig.AddBoard();  // enumerated last, so probed first
  rig.AddBoard(Silent());
  ASSERT_TRUE(ConnectDevice(rig.context));
  EXPECT_EQ(rig.context.currentDevice, 0x564D0083u);
  EXPECT_EQ(rig.boards[1]->TraceLines(), (std::vector<std::string>{"filterdriver mem-read addr=0000 len=1"}));
  EXPECT_EQ(rig.clock.SleptMilliseconds(), 100u + 400u);
}

TEST(DriverDispatch, RecordsOfTheOtherInterfaceAreRefused) {
  DriverRig rig;
  rig.AddBoard();
  ASSERT_TRUE(ConnectDevice(rig.context));
  std::uint32_t driverRecord = rig.context.currentDevice;
  rig.settings.useWinUsb = 1;
  ASSERT_TRUE(ConnectDevice(rig.context));
  std::uint32_t usbRecord = rig.context.currentDevice;
  EXPECT_NE(usbRecord, driverRecord);

  const std::uint8_t sub[2] = {0, 0};
  std::uint8_t byte = 0x5A;
  auto refusals = [&](std::uint32_t handle) {
    return std::vector<std::uint32_t>{rig.dispatch.DispatchMemoryWrite(handle, 0x10, 1, &byte),
                                      rig.dispatch.DispatchMemoryRead(handle, 0x10, 1, &byte),
                                      rig.dispatch.DispatchBusWrite(handle, 0x51, 2, sub, 1, &byte),
                                      rig.dispatch.DispatchBusRead(handle, 0x51, 2, sub, 1, &byte)};
  };
  const std::vector<std::uint32_t> refused = {0, 0, kBusNotOpened, kBusNotOpened};
  EXPECT_EQ(refusals(driverRecord), refused);  // WinUSB is current
  EXPECT_EQ(refusals(0x564D0001), refused);    // no such record
  rig.library.SetInterfaceGuid(FilterDriverInterfaceGuid);
  EXPECT_EQ(refusals(usbRecord), refused);
  EXPECT_EQ(rig.boards[0]->TraceLines().size(), 2u);  // only the two connection probes
}

// The engine over HID on a simulated system, down through the device stack.
struct HidConnectionRig {
  HidConnectionRig() : context(settings, dispatch) {
    settings.useHid = 1;
    settings.hidUseFeature = 1;
    context.os = &system.clock;
    context.hid = &system.context;
  }
  const hidDeviceClass& Device() const { return static_cast<const hidDeviceClass&>(*context.hidDevice); }

  HidSystem system;
  Settings settings;
  sim::SimBoard driverSide{{}, {}};  // never asked: HID is selected
  DirectDispatch dispatch{driverSide};
  EngineContext context;
};

// Devices that open but have no report 0xFF, or do not open at all, are walked past;
// a walk that finds no controller ends with a fresh closed object, and one that cannot
// read the device list fails with its message.
TEST(HidConnection, TheFirstCandidateAnsweringReport0xFFIsTaken) {
  HidConnectionRig rig;
  rig.system.AddKeyboard();
  std::size_t lookalike = rig.system.AddDevice(0x1111, 0x2222, u"Feature Gadget");
  rig.system.Interface(lookalike).caps.featureReportByteLength = 64;
  EXPECT_FALSE(ConnectDevice(rig.context));
  ASSERT_TRUE(rig.context.hidDevice);
  EXPECT_FALSE(rig.context.hidDevice->IsOpen());
  EXPECT_EQ(rig.system.stack.OpenHandleCount(), 0u);
  EXPECT_EQ(rig.context.pageSize, 64);

  auto first = testing::MakeBoard();
  auto second = testing::MakeBoard();
  std::size_t wanted = rig.system.AddController(*first, "A");
  rig.system.AddController(*second, "B");
  ASSERT_TRUE(ConnectDevice(rig.context));
  EXPECT_EQ(rig.Device().DevicePath(), rig.system.Interface(wanted).path);
  // A fresh connection closes the open object before it walks again.
  ASSERT_TRUE(ConnectDevice(rig.context));
  EXPECT_EQ(rig.Device().DevicePath(), rig.system.Interface(wanted).path);
  EXPECT_EQ(rig.system.stack.OpenHandleCount(), 2u);
  EXPECT_TRUE(rig.system.messages.shown.empty());

  rig.system.Interface(lookalike).productFails = true;
  EXPECT_FALSE(ConnectDevice(rig.context));
  EXPECT_FALSE(rig.context.hidDevice);
  EXPECT_EQ(rig.system.messages.shown.size(), 1u);
}

}  // namespace
}  // namespace tessora

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devlib/bus_command.h"
#include "devlib/qorv_device_library.h"
#include "engine/connection.h"
#include "hid/hid_device.h"
#include "tests/support/device_rig.h"

namespace tessora {
namespace {

using test::DeviceRig;

// Nothing listed ends at once; devices listed but silent cost one pause, or a search every
// 100 ms within a longer budget. The first that answers is taken.
TEST(FindDriverDevice, SilenceCostsOnePausePerSearch) {
  DeviceRig rig;
  rig.context.currentDevice = 0x564D0083;
  EXPECT_FALSE(ConnectDevice(rig.context));
  EXPECT_EQ(rig.context.pageSize, 64);
  EXPECT_EQ(rig.context.currentDevice, 0u);
  EXPECT_EQ(rig.os.SleepCount(), 0u);

  rig.AddBoard({.openFails = true});
  EXPECT_FALSE(ConnectDevice(rig.context));
  EXPECT_EQ(rig.os.SleptMilliseconds(), 100u);
  EXPECT_EQ(FindDriverDevice(rig.context, 350), 1);
  EXPECT_EQ(rig.os.SleptMilliseconds(), 100u + 400u);

  rig.AddBoard();  // enumerated last, so probed first
  rig.AddBoard({.openFails = true});
  ASSERT_TRUE(ConnectDevice(rig.context));
  EXPECT_EQ(rig.context.currentDevice, 0x564D0083u);
  EXPECT_EQ(rig.boards[1].TraceLines(), (std::vector<std::string>{"filterdriver mem-read addr=0000 len=1"}));
  EXPECT_EQ(rig.os.SleptMilliseconds(), 100u + 400u);
}

TEST(DriverDispatch, RecordsOfTheOtherInterfaceAreRefused) {
  DeviceRig rig;
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
    return std::vector<std::uint32_t>{rig.context.dispatch.DispatchMemoryWrite(handle, 0x10, 1, &byte),
                                      rig.context.dispatch.DispatchMemoryRead(handle, 0x10, 1, &byte),
                                      rig.context.dispatch.DispatchBusWrite(handle, 0x51, 2, sub, 1, &byte),
                                      rig.context.dispatch.DispatchBusRead(handle, 0x51, 2, sub, 1, &byte)};
  };
  const std::vector<std::uint32_t> refused = {0, 0, kBusNotOpened, kBusNotOpened};
  EXPECT_EQ(refusals(driverRecord), refused);  // WinUSB is current
  EXPECT_EQ(refusals(0x564D0001), refused);    // no such record
  rig.library.SetInterfaceGuid(FilterDriverInterfaceGuid);
  EXPECT_EQ(refusals(usbRecord), refused);
  EXPECT_EQ(rig.boards[0].TraceLines().size(), 2u);  // only the two connection probes
}


// Devices that open but have no report 0xFF, or do not open at all, are walked past;
// a walk that finds no controller ends with a fresh closed object, and one that cannot
// read the device list fails with its message.
TEST(HidConnection, TheFirstCandidateAnsweringReport0xFFIsTaken) {
  DeviceRig rig;
  rig.settings.useHid = 1;
  auto path = [&] { return static_cast<const hidDeviceClass&>(*rig.context.hidDevice).DevicePath(); };
  rig.AddKeyboard();
  std::size_t lookalike = rig.AddHidDevice(0x1111, 0x2222, u"Feature Gadget");
  rig.stack.Interface(lookalike).caps.featureReportByteLength = 64;
  EXPECT_FALSE(ConnectDevice(rig.context));
  ASSERT_TRUE(rig.context.hidDevice);
  EXPECT_FALSE(rig.context.hidDevice->IsOpen());
  EXPECT_EQ(rig.stack.OpenHandleCount(), 0u);
  EXPECT_EQ(rig.context.pageSize, 64);

  std::size_t wanted = rig.stack.InterfaceCount();  // the first board's HID face
  rig.AddBoard();
  rig.AddBoard();
  ASSERT_TRUE(ConnectDevice(rig.context));
  EXPECT_EQ(path(), rig.stack.Interface(wanted).path);
  // A fresh connection closes the open object before it walks again.
  ASSERT_TRUE(ConnectDevice(rig.context));
  EXPECT_EQ(path(), rig.stack.Interface(wanted).path);
  EXPECT_EQ(rig.stack.OpenHandleCount(), 2u);
  EXPECT_TRUE(rig.messages.Boxes().empty());

  rig.stack.Interface(lookalike).productFails = true;
  EXPECT_FALSE(ConnectDevice(rig.context));
  EXPECT_FALSE(rig.context.hidDevice);
  EXPECT_EQ(rig.messages.Boxes().size(), 1u);
}

}  // namespace
}  // namespace tessora

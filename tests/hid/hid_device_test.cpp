#include "hid/hid_device.h"
#include "hid/hid_enumeration.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/shell_rig.h"

namespace tessora {
namespace {

using testing::ShellRig;
constexpr std::uint16_t kControllerVendorId = 0x3E9A;
constexpr std::uint16_t kControllerProductId = 0x0210;
constexpr const char* kControllerText = "Qorvane USB Controller";

class CountingHooks : public hidDeviceClass {
 public:
  using hidDeviceClass::hidDeviceClass;
  ~CountingHooks() override { Close(); }
  void OpenHook1() override { ++hooks; }
  void OpenHook2() override { ++hooks; }
  void OpenHook3() override { ++hooks; }
  int hooks = 0;
};

// Matches are exact and case-sensitive; identical devices open one after the other; an
// entry that cannot be opened is passed over, and a scan that opens nothing leaves the
// devices after it reachable.
TEST(HidDevice, TheWalkOpensEachMatchingDeviceInTurn) {
  ShellRig system;
  system.AddKeyboard();
  std::size_t refusing = system.AddHidDevice(0x1111, 0x2222, u"Twin");
  system.stack.Interface(refusing).refusesReadWrite = true;
  system.AddHidDevice(0x1111, 0x2222, u"twin");
  std::size_t first = system.AddHidDevice(0x1111, 0x2222, u"Twin");
  std::size_t second = system.AddHidDevice(0x1111, 0x2222, u"Twin");
  std::size_t unnamed = system.AddHidDevice(0x1111, 0x3333, u"");
  system.stack.Interface(unnamed).productFails = true;
  hidDeviceClass device(system.hid);

  EXPECT_FALSE(device.OpenFirstMatch(0x046D, 0xC31C, "USB Keyboard"));
  EXPECT_FALSE(device.OpenNextMatch(0x9999, 0x9999, "Absent"));
  ASSERT_TRUE(device.OpenNextMatch(0x1111, 0x2222, "Twin"));
  EXPECT_EQ(device.DevicePath(), system.stack.Interface(first).path);
  ASSERT_TRUE(device.OpenNextMatch(0x1111, 0x2222, "Twin"));
  EXPECT_EQ(device.DevicePath(), system.stack.Interface(second).path);
  EXPECT_FALSE(device.OpenNextMatch(0x1111, 0x2222, "Twin"));
  EXPECT_FALSE(device.IsOpen());
  EXPECT_TRUE(device.OpenFirstMatch(0x1111, 0x3333, nullptr));  // no product string: asked for as none
  EXPECT_EQ(device.DevicePath(), system.stack.Interface(unnamed).path);

  for (std::size_t i = 0; i < system.stack.InterfaceCount(); ++i) system.stack.Interface(i).present = false;
  EXPECT_FALSE(device.OpenFirstMatch(0x1111, 0x3333, nullptr));
  EXPECT_TRUE(device.IsOpen());  // an empty table leaves the object as it was
}

TEST(HidDevice, ADeviceWithoutDescriptorDataIsOpenWithoutReportsOrHooks) {
  ShellRig system;
  std::size_t index = system.AddHidDevice(0x1111, 0x2222, u"\u0141odz \u0100rest");
  system.stack.Interface(index).serialNumber = std::u16string(40, u'7');
  CountingHooks device(system.hid);
  device.OpenPath(system.stack.Interface(index).path.c_str());
  EXPECT_EQ(device.hooks, 3);
  EXPECT_EQ(device.InputReportLength(), 8);
  // The low byte of each unit; a zero low byte ends the text.
  EXPECT_STREQ(device.ProductText(), "Aodz ");
  EXPECT_EQ(std::string(device.SerialText()), std::string(16, '7'));

  system.stack.Interface(index).descriptorFails = true;
  device.OpenPath(system.stack.Interface(index).path.c_str());
  ASSERT_TRUE(device.IsOpen());
  EXPECT_EQ(device.hooks, 3);
  EXPECT_EQ(device.InputReportLength(), 0);
  EXPECT_EQ(device.ReadInputReportOverlapped(1, 0), -1);
  device.Close();
  EXPECT_EQ(system.stack.OpenHandleCount(), 0u);

  system.stack.Interface(index).path = "\\\\?\\hid#" + std::string(1100, 'p');  // too long to keep
  device.OpenPath(system.stack.Interface(index).path.c_str());
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ(EnumerateHidDevices(system.hid), 0u);
}

// Removal closes the object once: everything is released, the texts outlive the reset,
// and closing a closed object waits for nothing.
TEST(HidDevice, ArrivalKeepsOnlyTheWantedDeviceAndRemovalClosesIt) {
  ShellRig system;
  std::size_t controller = system.stack.InterfaceCount();  // the HID face comes first
  system.AddBoard();
  std::size_t other = system.AddHidDevice(0x1111, 0x2222, u"Other");
  hidDeviceClass device(system.hid);
  device.Close();
  DeviceInterfaceNotice otherNotice{sim::kHidInterfaceGuid, system.stack.Interface(other).path};
  DeviceInterfaceNotice controllerNotice{sim::kHidInterfaceGuid, system.stack.Interface(controller).path};

  EXPECT_FALSE(device.OnDeviceArrival(otherNotice, kControllerVendorId, kControllerProductId, kControllerText));
  EXPECT_FALSE(device.OnDeviceArrival(controllerNotice, kControllerVendorId, kControllerProductId, "qorvane"));
  EXPECT_FALSE(device.IsOpen());
  EXPECT_TRUE(device.OnDeviceArrival(controllerNotice, kControllerVendorId, kControllerProductId, kControllerText));
  EXPECT_EQ(device.FeatureReportLength(), 128);
  EXPECT_EQ(system.stack.OpenHandleCount(), 2u);

  EXPECT_FALSE(device.OnDeviceRemoval(otherNotice));
  EXPECT_TRUE(device.IsOpen());
  std::string shouted = system.stack.Interface(controller).path;
  for (char& c : shouted) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_TRUE(device.OnDeviceRemoval(DeviceInterfaceNotice{sim::kHidInterfaceGuid, shouted}));
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ(system.stack.OpenHandleCount(), 0u);
  EXPECT_EQ(device.VendorId(), 0xFFFF);
  EXPECT_EQ(device.InputReport(), nullptr);
  EXPECT_STREQ(device.ProductText(), kControllerText);
  device.Close();
  EXPECT_EQ(system.os.SleepCount(), 0u);
}

}  // namespace
}  // namespace tessora

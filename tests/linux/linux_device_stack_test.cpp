// The Linux device stack in this process, against devices emulated behind udev, sysfs,
// hidraw and usbdevfs.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devlib/interface_guids.h"
#include "platform/linux/linux_device_stack.h"
#include "platform/stack_handle.h"
#include "tests/linux/linux_stack_fixture.h"

namespace tessora::testing {
namespace {

using linuxstack::LinuxDeviceStack;
constexpr std::uint32_t kPresent = kDigcfPresent | kDigcfDeviceInterface;

// "path instance-ID" of each interface listed.
std::vector<std::string> List(DeviceStack& stack, const Guid& interfaceClass, std::uint32_t flags) {
  std::vector<std::string> found;
  DeviceInfoSet set(stack, stack.SetupDiGetClassDevsA(interfaceClass, flags));
  DeviceInterfaceData data;
  for (std::uint32_t i = 0; stack.SetupDiEnumDeviceInterfaces(set.Get(), interfaceClass, i, data); ++i) {
    char path[kDevicePathBufferSize] = {};
    char id[256] = {};
    DevInfoData element;
    stack.SetupDiGetDeviceInterfaceDetailA(set.Get(), data, path, sizeof path, nullptr, &element);
    stack.SetupDiGetDeviceInstanceIdA(set.Get(), element, id, sizeof id, nullptr);
    found.push_back(std::string(path) + " " + id);
  }
  EXPECT_EQ(stack.GetLastError(), kErrorNoMoreItems);
  return found;
}

std::string Text(DeviceStack& stack, OsHandle device, bool (DeviceStack::*query)(OsHandle, char16_t*, std::uint32_t)) {
  char16_t units[64] = {};
  if (!(stack.*query)(device, units, sizeof units)) return "none";
  return std::string(units, units + std::char_traits<char16_t>::length(units));
}

// What the HID class calls tell about one interface, in one line.
std::string Describe(DeviceStack& stack, const std::string& path, std::uint32_t access) {
  FileHandle device(stack, stack.CreateFileA(path.c_str(), access, 3, kOpenExisting, 0));
  HidAttributes attributes;
  OsHandle descriptor = kNullHandle;
  HidCaps caps;
  if (!stack.HidD_GetAttributes(device.Get(), attributes) || !stack.HidD_GetPreparsedData(device.Get(), &descriptor))
    return "unreadable";
  PreparsedData preparsed(stack, descriptor);
  stack.HidP_GetCaps(preparsed.Get(), caps);
  char line[256];
  std::snprintf(line, sizeof line, "%04x:%04x %s/%s in %u out %u feature %u%s", attributes.vendorId,
                attributes.productId, Text(stack, device.Get(), &DeviceStack::HidD_GetProductString).c_str(),
                Text(stack, device.Get(), &DeviceStack::HidD_GetSerialNumberString).c_str(),
                caps.inputReportByteLength, caps.outputReportByteLength, caps.featureReportByteLength,
                stack.HidP_HasFeatureReportId(preparsed.Get(), 0xFF) ? " candidate" : "");
  return line;
}

TEST_F(LinuxStackTest, ListsEveryHidrawNodeInNodeOrderAndOnlyDeclaredWinUsbDevices) {
  LinuxDeviceStack stack(*os);
  const std::vector<std::string> hid = {"/dev/hidraw0 USB\\VID_046D&PID_C31C\\1-2",
                                        "/dev/hidraw1 USB\\VID_3E9A&PID_0210\\QV000001",
                                        "/dev/hidraw2 USB\\VID_3E9A&PID_0210\\1-4"};
  // The keyboard's product string is UTF-8 in sysfs and arrives as UTF-16.
  const std::string facts[] = {"046d:c31c Tastatur \xC4/none in 9 out 2 feature 0",
                               "3e9a:0210 Qorvane USB Controller/QV000001 in 128 out 128 feature 128 candidate",
                               "3e9a:0210 HID 3e9a:0210/none in 128 out 128 feature 128 candidate"};
  // A device that is gone has no node, so "all" devices are the present ones.
  EXPECT_EQ(List(stack, linuxstack::kHidInterfaceGuid, kPresent), hid);
  EXPECT_EQ(List(stack, linuxstack::kHidInterfaceGuid, kDigcfDeviceInterface), hid);
  // Queries only are answered from udev and sysfs, an open node through hidraw: the same.
  for (std::uint32_t access : {0u, kGenericRead | kGenericWrite})
    for (int node = 0; node < 3; ++node)
      EXPECT_EQ(Describe(stack, EmulatedUsb::HidrawPath(node), access), facts[node]) << "access " << access;
  EXPECT_EQ(List(stack, WinUsbInterfaceGuid, kPresent),
            std::vector<std::string>{EmulatedUsb::UsbPath(1) + " USB\\VID_3E9A&PID_0210\\QV000001"});
  EXPECT_TRUE(List(stack, FilterDriverInterfaceGuid, kPresent).empty());
  EXPECT_TRUE(stack.AccessProblems().empty());
}

TEST_F(LinuxStackTest, ARefusedControllerNodeIsReportedWithDeviceAndRemedyAndAKeyboardIsNot) {
  const std::vector<std::string> refused = {"/dev/hidraw0", "/dev/hidraw1", EmulatedUsb::UsbPath(1)};
  LinuxDeviceStack stack(*os, [&](const char* path, int flags) {
    for (const std::string& node : refused)
      if (node == path) return errno = EACCES, -1;
    return ::open(path, flags);
  });
  EXPECT_TRUE(List(stack, WinUsbInterfaceGuid, kPresent).empty());
  for (int node : {0, 1}) {
    std::string path = EmulatedUsb::HidrawPath(node);
    EXPECT_EQ(stack.CreateFileA(path.c_str(), kGenericRead | kGenericWrite, 3, kOpenExisting, 0), kInvalidHandle);
    EXPECT_EQ(stack.GetLastError(), kErrorAccessDenied);
    EXPECT_NE(Describe(stack, path, 0), "unreadable");  // queries need no access to the node
  }
  std::vector<std::string> problems = stack.AccessProblems();
  ASSERT_EQ(problems.size(), 2u);  // the keyboard is refused on purpose: no word about it
  for (std::size_t i = 0; i < problems.size(); ++i) {
    EXPECT_EQ(problems[i].find(refused[2 - i] + " (3e9a:0210 Qorvane USB Controller) cannot be opened"), 0u);
    EXPECT_NE(problems[i].find("tessora --udev-rule"), std::string::npos) << problems[i];
  }
}

TEST_F(LinuxStackTest, AnOverlappedReadEndsWithTheReportOrWhenCancelled) {
  LinuxDeviceStack stack(*os);
  FileHandle device(stack, stack.CreateFileA("/dev/hidraw1", kGenericRead | kGenericWrite, 3, kOpenExisting,
                                             kFileFlagOverlapped));
  OverlappedIo record;
  record.event = os->CreateEventA();
  std::vector<std::uint8_t> buffer(128), report(128);
  for (std::size_t i = 0; i < report.size(); ++i) report[i] = static_cast<std::uint8_t>(0xFF - i);
  std::uint32_t got = 0;

  EXPECT_FALSE(stack.ReadFileOverlapped(device.Get(), buffer.data(), 128, record));
  EXPECT_EQ(stack.GetLastError(), kErrorIoPending);
  EXPECT_FALSE(stack.GetOverlappedResult(device.Get(), record, &got, false));
  EXPECT_EQ(stack.GetLastError(), kErrorIoIncomplete);
  usb.SendInputReport(1, report);
  EXPECT_EQ(os->WaitForMultipleObjects(1, &record.event, 5000), kWaitObject0);
  EXPECT_TRUE(stack.GetOverlappedResult(device.Get(), record, &got, true));
  EXPECT_EQ(got, 128u);
  EXPECT_EQ(buffer, report);

  EXPECT_FALSE(stack.ReadFileOverlapped(device.Get(), buffer.data(), 128, record));
  EXPECT_TRUE(stack.CancelIoEx(device.Get(), record));
  EXPECT_FALSE(stack.GetOverlappedResult(device.Get(), record, &got, true));
  EXPECT_EQ(stack.GetLastError(), kErrorOperationAborted);
  os->CloseEvent(record.event);
}

}  // namespace
}  // namespace tessora::testing

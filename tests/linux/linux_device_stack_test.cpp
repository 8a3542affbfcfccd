// The Linux device stack in this process, against devices emulated behind udev, sysfs,
// hidraw and usbdevfs.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "devlib/interface_guids.h"
#include "platform/linux/linux_device_stack.h"
#include "platform/stack_handle.h"
#include "tests/linux/linux_stack_fixture.h"

namespace tessora::testing {
namespace {

using linuxstack::LinuxDeviceStack;

struct Listed {
  std::string path;
  std::string instanceId;
};

std::vector<Listed> List(DeviceStack& stack, const Guid& interfaceClass, std::uint32_t flags) {
  std::vector<Listed> found;
  DeviceInfoSet set(stack, stack.SetupDiGetClassDevsA(interfaceClass, flags));
  DeviceInterfaceData data;
  for (std::uint32_t i = 0; stack.SetupDiEnumDeviceInterfaces(set.Get(), interfaceClass, i, data); ++i) {
    char path[kDevicePathBufferSize] = {};
    char id[256] = {};
    DevInfoData element;
    EXPECT_TRUE(stack.SetupDiGetDeviceInterfaceDetailA(set.Get(), data, path, sizeof path, nullptr, &element));
    EXPECT_TRUE(stack.SetupDiGetDeviceInstanceIdA(set.Get(), element, id, sizeof id, nullptr));
    found.push_back({path, id});
  }
  EXPECT_EQ(stack.GetLastError(), kErrorNoMoreItems);
  return found;
}

std::optional<std::string> HidString(DeviceStack& stack, OsHandle device,
                                     bool (DeviceStack::*query)(OsHandle, char16_t*, std::uint32_t)) {
  char16_t units[64] = {};
  if (!(stack.*query)(device, units, sizeof units)) return std::nullopt;
  return std::string(units, units + std::char_traits<char16_t>::length(units));
}

struct HidFacts {
  std::uint16_t vendorId, productId;
  std::optional<std::string> product, serial;
  std::uint16_t input, output, feature;
  bool candidate;
};

HidFacts Describe(DeviceStack& stack, const std::string& path, std::uint32_t access) {
  HidFacts facts{};
  FileHandle device(stack, stack.CreateFileA(path.c_str(), access, 3, kOpenExisting, 0));
  EXPECT_TRUE(device.Valid()) << path;
  HidAttributes attributes;
  EXPECT_TRUE(stack.HidD_GetAttributes(device.Get(), attributes));
  facts.vendorId = attributes.vendorId;
  facts.productId = attributes.productId;
  facts.product = HidString(stack, device.Get(), &DeviceStack::HidD_GetProductString);
  facts.serial = HidString(stack, device.Get(), &DeviceStack::HidD_GetSerialNumberString);
  OsHandle descriptor = kNullHandle;
  EXPECT_TRUE(stack.HidD_GetPreparsedData(device.Get(), &descriptor));
  PreparsedData preparsed(stack, descriptor);
  HidCaps caps;
  EXPECT_TRUE(stack.HidP_GetCaps(preparsed.Get(), caps));
  facts.input = caps.inputReportByteLength;
  facts.output = caps.outputReportByteLength;
  facts.feature = caps.featureReportByteLength;
  facts.candidate = stack.HidP_HasFeatureReportId(preparsed.Get(), 0xFF);
  return facts;
}

TEST_F(LinuxStackTest, ListsEveryHidrawNodeInNodeOrderAndOnlyDeclaredWinUsbDevices) {
  LinuxDeviceStack stack(*os);
  struct Expected {
    const char* path;
    const char* instanceId;
    HidFacts facts;
  };
  const std::optional<std::string> none;
  const Expected hid[] = {
      {"/dev/hidraw0", "USB\\VID_046D&PID_C31C\\1-2", {0x046D, 0xC31C, "USB Keyboard", none, 9, 2, 0, false}},
      {"/dev/hidraw1", "USB\\VID_3E9A&PID_0210\\QV000001",
       {0x3E9A, 0x0210, "Qorvane USB Controller", "QV000001", 128, 128, 128, true}},
      {"/dev/hidraw2", "USB\\VID_3E9A&PID_0210\\1-4", {0x3E9A, 0x0210, none, none, 128, 128, 128, true}},
  };
  for (std::uint32_t flags : {kDigcfPresent | kDigcfDeviceInterface, kDigcfDeviceInterface}) {
    std::vector<Listed> listed = List(stack, linuxstack::kHidInterfaceGuid, flags);
    ASSERT_EQ(listed.size(), std::size(hid));
    for (std::size_t i = 0; i < listed.size(); ++i) {
      EXPECT_EQ(listed[i].path, hid[i].path);
      EXPECT_EQ(listed[i].instanceId, hid[i].instanceId);
    }
  }
  // Queries only are answered from udev and sysfs, an open node through hidraw: the same.
  for (std::uint32_t access : {0u, kGenericRead | kGenericWrite}) {
    for (const Expected& expected : hid) {
      SCOPED_TRACE(std::string(expected.path) + " access " + std::to_string(access));
      HidFacts facts = Describe(stack, expected.path, access);
      EXPECT_EQ(facts.vendorId, expected.facts.vendorId);
      EXPECT_EQ(facts.productId, expected.facts.productId);
      EXPECT_EQ(facts.product, expected.facts.product);
      EXPECT_EQ(facts.serial, expected.facts.serial);
      EXPECT_EQ(facts.input, expected.facts.input);
      EXPECT_EQ(facts.output, expected.facts.output);
      EXPECT_EQ(facts.feature, expected.facts.feature);
      EXPECT_EQ(facts.candidate, expected.facts.candidate);
    }
  }
  std::vector<Listed> winUsb = List(stack, WinUsbInterfaceGuid, kDigcfPresent | kDigcfDeviceInterface);
  ASSERT_EQ(winUsb.size(), 1u);
  EXPECT_EQ(winUsb[0].path, EmulatedUsb::UsbPath(1));
  EXPECT_EQ(winUsb[0].instanceId, "USB\\VID_3E9A&PID_0210\\QV000001");
  EXPECT_TRUE(List(stack, FilterDriverInterfaceGuid, kDigcfPresent | kDigcfDeviceInterface).empty());
  EXPECT_TRUE(stack.AccessProblems().empty());
}

TEST_F(LinuxStackTest, ARefusedControllerNodeIsReportedWithDeviceAndRemedyAndAKeyboardIsNot) {
  std::vector<std::string> refused = {"/dev/hidraw0", "/dev/hidraw1", EmulatedUsb::UsbPath(1)};
  LinuxDeviceStack stack(*os, [&](const char* path, int flags) {
    for (const std::string& node : refused)
      if (node == path) return errno = EACCES, -1;
    return ::open(path, flags);
  });
  EXPECT_TRUE(List(stack, WinUsbInterfaceGuid, kDigcfPresent | kDigcfDeviceInterface).empty());
  for (const char* path : {"/dev/hidraw0", "/dev/hidraw1"}) {
    EXPECT_EQ(stack.CreateFileA(path, kGenericRead | kGenericWrite, 3, kOpenExisting, 0), kInvalidHandle);
    EXPECT_EQ(stack.GetLastError(), kErrorAccessDenied);
    // Queries need no access to the node.
    EXPECT_EQ(Describe(stack, path, 0).productId, path[11] == '0' ? 0xC31C : 0x0210);
  }
  std::vector<std::string> problems = stack.AccessProblems();
  ASSERT_EQ(problems.size(), 2u);
  for (std::size_t i = 0; i < problems.size(); ++i) {
    EXPECT_NE(problems[i].find(i == 0 ? "/dev/bus/usb/001/003" : "/dev/hidraw1"), std::string::npos) << problems[i];
    EXPECT_NE(problems[i].find("3e9a:0210 Qorvane USB Controller"), std::string::npos) << problems[i];
    EXPECT_NE(problems[i].find("tessora --udev-rule"), std::string::npos) << problems[i];
  }
}

TEST_F(LinuxStackTest, AnOverlappedReadEndsWithTheReportOrWhenCancelled) {
  LinuxDeviceStack stack(*os);
  FileHandle device(stack, stack.CreateFileA("/dev/hidraw1", kGenericRead | kGenericWrite, 3, kOpenExisting,
                                             kFileFlagOverlapped));
  ASSERT_TRUE(device.Valid());
  OverlappedIo record;
  record.event = os->CreateEventA();
  std::vector<std::uint8_t> buffer(128);
  std::uint32_t got = 0;

  ASSERT_FALSE(stack.ReadFileOverlapped(device.Get(), buffer.data(), 128, record));
  ASSERT_EQ(stack.GetLastError(), kErrorIoPending);
  EXPECT_FALSE(stack.GetOverlappedResult(device.Get(), record, &got, false));
  EXPECT_EQ(stack.GetLastError(), kErrorIoIncomplete);
  std::vector<std::uint8_t> report(128);
  for (std::size_t i = 0; i < report.size(); ++i) report[i] = static_cast<std::uint8_t>(0xFF - i);
  usb.SendInputReport(1, report);
  EXPECT_EQ(os->WaitForMultipleObjects(1, &record.event, 5000), kWaitObject0);
  ASSERT_TRUE(stack.GetOverlappedResult(device.Get(), record, &got, true));
  EXPECT_EQ(got, 128u);
  EXPECT_EQ(buffer, report);

  ASSERT_FALSE(stack.ReadFileOverlapped(device.Get(), buffer.data(), 128, record));
  ASSERT_TRUE(stack.CancelIoEx(device.Get(), record));
  EXPECT_FALSE(stack.GetOverlappedResult(device.Get(), record, &got, true));
  EXPECT_EQ(stack.GetLastError(), kErrorOperationAborted);
  os->CloseEvent(record.event);
}

}  // namespace
}  // namespace tessora::testing

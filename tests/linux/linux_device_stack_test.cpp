// The Linux device stack in this process, and the device subsystems over it, against
// devices emulated behind udev, sysfs, hidraw and usbdevfs; its report descriptor parser.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <thread>

#include "app/access_problems.h"
#include "app/procedure_lock.h"
#include "app/program_devices.h"
#include "devlib/qorv_device_library.h"
#include "devlib/winusb_transport.h"
#include "engine/connection.h"
#include "hid/hid_device.h"
#include "platform/linux/hid_report_descriptor.h"
#include "platform/event.h"
#include "platform/linux/linux_device_stack.h"
#include "platform/posix/unique_descriptor.h"
#include "platform/stack_handle.h"
#include "sim/stack/sim_device_stack.h"
#include "tests/linux/emulated_usb.h"

namespace tessora::test {
namespace {

using linuxstack::LinuxDeviceStack;
constexpr std::uint32_t kReadWrite = kGenericRead | kGenericWrite;

// Nodes this user may not open, as udev leaves a keyboard and an unruled controller: the
// queries still answer, the controller is named with its remedy, and the walk over the HID
// candidates goes on past both to the controller after them.
TEST_F(LinuxStackTest, RefusedNodesAreNamedWithTheirRemedyAndTheWalkGoesOnPastThem) {
  const std::vector<std::string> refused = {"/dev/hidraw0", "/dev/hidraw1", EmulatedUsb::UsbPath(1)};
  auto owned = std::make_unique<LinuxDeviceStack>(*os, [&](const char* path, int flags) {
    return std::find(refused.begin(), refused.end(), path) != refused.end() ? (errno = EACCES, -1) : ::open(path, flags);
  });
  LinuxDeviceStack& stack = *owned;
  OsHandle set = stack.SetupDiGetClassDevsA(WinUsbInterfaceGuid, kDigcfPresent | kDigcfDeviceInterface);
  DeviceInterfaceData data;
  EXPECT_FALSE(stack.SetupDiEnumDeviceInterfaces(set, WinUsbInterfaceGuid, 0, data));
  stack.SetupDiDestroyDeviceInfoList(set);
  Settings settings;
  settings.useHid = 1;
  StackDeviceAccess devices(settings, *os, std::move(owned));
  EXPECT_TRUE(ConnectDevice(devices.Engine()));  // at /dev/hidraw2, the only one left
  for (const char* path : {"/dev/hidraw0", "/dev/hidraw1"}) {
    EXPECT_EQ(stack.CreateFileA(path, kReadWrite, 3, kOpenExisting, 0), kInvalidHandle);
    EXPECT_EQ(stack.GetLastError(), kErrorAccessDenied);
  }
  // Queries need no access to the node.
  OsHandle keyboard = stack.CreateFileA("/dev/hidraw0", 0, 3, kOpenExisting, 0);
  char16_t product[16] = {};
  EXPECT_TRUE(stack.HidD_GetProductString(keyboard, product, sizeof product));
  EXPECT_EQ(std::u16string(product), u"Tastatur \u00C4");
  // The stack tells of every node it was refused, the keyboard's too; the keyboard is
  // refused on purpose, so the program has no word about it.
  std::vector<std::string> refusedPaths;
  for (const RefusedNode& node : stack.RefusedNodes()) {
    refusedPaths.push_back(node.path);
    EXPECT_EQ(node.error, kErrorAccessDenied) << node.path;
  }
  EXPECT_EQ(refusedPaths, (std::vector{refused[2], refused[0], refused[1]}));
  const std::string remedy = " (3e9a:0210 Qorvane USB Controller) cannot be opened: permission denied. Give the "
                             "logged-in user access with 'tessora --udev-rule | sudo tee /etc/udev/rules.d/"
                             "70-tessora.rules' and replug the device.";
  EXPECT_EQ(AccessProblems(stack), (std::vector{refused[2] + remedy, refused[1] + remedy}));
}

// hidraw hands a feature request to any device, whatever it declares. Connecting over HID
// asks no device for the controller's report unless its descriptor declares it, and a
// device that answers with fewer bytes than asked is no controller: the walk goes on past
// both to the controller after them.
TEST(LinuxHidProbe, OnlyADeviceDeclaringTheControllerReportIsAskedAndOnlyAWholeAnswerCounts) {
  sim::SimBoard board{{}, std::vector<std::uint8_t>(16384, 0xFF)};
  // Another maker's device with a feature report 1 of 8 bytes, answering whatever it is asked.
  const std::vector<std::uint8_t> otherMakers = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85,
                                                 0x01, 0x75, 0x08, 0x95, 0x08, 0xB1, 0x02, 0xC0};
  EmulatedUsb usb{{{0x1209, 0x0001, "Gadget", "G1", otherMakers, false, nullptr, 128},
                   {0x3E9A, 0x0211, "Short", "S1", ControllerReportDescriptor(), false, nullptr, 16},
                   {.serial = "QV000002", .board = &board}}};
  std::unique_ptr<OsServices> os = CreateNativeOsServices();
  Settings settings;
  settings.useHid = 1;
  StackDeviceAccess devices(settings, *os, std::make_unique<LinuxDeviceStack>(*os));
  ASSERT_TRUE(ConnectDevice(devices.Engine()));
  auto* connected = dynamic_cast<hidDeviceClass*>(devices.Engine().hidDevice.get());
  ASSERT_NE(connected, nullptr);
  EXPECT_EQ(connected->DevicePath(), EmulatedUsb::HidrawPath(2));
  EXPECT_EQ(usb.FeatureRequests(0), 0);
  EXPECT_GT(usb.FeatureRequests(1), 0);
}

// A USB device is listed under the interface class its Microsoft OS 2.0 descriptors
// declare, whichever it is, and under no other.
TEST(LinuxUsbClasses, AUsbDeviceIsListedUnderTheClassItsDescriptorsDeclare) {
  sim::SimBoard first{{}, std::vector<std::uint8_t>(16384, 0xFF)};
  sim::SimBoard second{{}, std::vector<std::uint8_t>(16384, 0xFF)};
  const Guid otherClass = {0x0123ABCD, 0x4567, 0x89EF, {0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10}};
  EmulatedUsb usb{{{.board = &first},
                   {.serial = "QV000002", .board = &second, .interfaceGuid = "{0123abcd-4567-89ef-FEDC-BA9876543210}"}}};
  std::unique_ptr<OsServices> os = CreateNativeOsServices();
  LinuxDeviceStack stack(*os);
  auto listed = [&stack](const Guid& interfaceClass) {
    std::vector<std::string> paths;
    DeviceInfoSet set(stack, stack.SetupDiGetClassDevsA(interfaceClass, kDigcfPresent | kDigcfDeviceInterface));
    DeviceInterfaceData data;
    for (std::uint32_t i = 0; stack.SetupDiEnumDeviceInterfaces(set.Get(), interfaceClass, i, data); ++i) {
      char path[kDevicePathBufferSize] = {};
      if (stack.SetupDiGetDeviceInterfaceDetailA(set.Get(), data, path, sizeof path, nullptr, nullptr))
        paths.push_back(path);
    }
    return paths;
  };
  EXPECT_EQ(listed(WinUsbInterfaceGuid), std::vector{EmulatedUsb::UsbPath(0)});
  EXPECT_EQ(listed(otherClass), std::vector{EmulatedUsb::UsbPath(1)});
  EXPECT_TRUE(listed(FilterDriverInterfaceGuid).empty());
}

// Requests fail with the errors Windows gives.
TEST_F(LinuxStackTest, AnUnpluggedBoardFailsEveryRequestAndLeavesNoDescriptorOrLockBehind) {
  LinuxDeviceStack stack(*os);
  QorvDeviceLibrary library(*os, stack);
  library.SetInterfaceGuid(WinUsbInterfaceGuid);
  library.BuildDeviceList(false);
  ASSERT_EQ(library.DeviceCount(), 1);
  QorvDevice& device = *library.FindByHandle(library.FirstDevice());
  WinUsbTransport transport(device);
  std::uint8_t byte = 0;
  // The first transfer creates the device's mutex, which it keeps for the rest of the run.
  ASSERT_EQ(transport.MemoryRead(0x0010, 1, &byte), 1u);
  std::uint8_t report[128] = {0xFF};
  OsHandle hid = stack.CreateFileA("/dev/hidraw1", kReadWrite, 3, kOpenExisting, 0);
  auto descriptors = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
  auto descriptorsBefore = descriptors();

  boardA.Unplug();
  // Many failed requests: a descriptor lost by each stands out from the emulation's own.
  for (int attempt = 0; attempt < 20; ++attempt) {
    EXPECT_FALSE(stack.HidD_SetFeature(hid, report, sizeof report) || stack.HidD_GetFeature(hid, report, sizeof report));
    EXPECT_EQ(stack.GetLastError(), kErrorDeviceNotConnected);
    EXPECT_EQ(transport.MemoryRead(0x0010, 1, &byte), 0u);
  }
  EXPECT_TRUE(stack.CloseHandle(hid));
  EXPECT_LT(descriptors(), descriptorsBefore + 5);
  // Another thread takes the device lock at once: the failed transfer let go of it.
  bool locked = false;
  std::thread([&] { locked = device.Lock(0) && (device.Unlock(), true); }).join();
  EXPECT_TRUE(locked);
}

// The serial number and the port come from the USB device, whichever of its nodes is
// opened, so the procedure lock is the same over HID and WinUSB, and a board without a
// serial number is named by its port.
TEST_F(LinuxStackTest, TheProcedureLockNamesTheUsbDeviceWhicheverNodeReachesIt) {
  const struct {
    int useHid;
    const char* selector;
    const char* name;
  } cases[] = {{1, "QV000001", "Global\\tessora_VID_3E9A&PID_0210#QV000001"},
               {0, "QV000001", "Global\\tessora_VID_3E9A&PID_0210#QV000001"},
               {1, "usb:1-4", "Global\\tessora_VID_3E9A&PID_0210@1-4"}};
  for (const auto& c : cases) {
    Settings settings;
    settings.useHid = c.useHid;
    settings.useWinUsb = 1 - c.useHid;
    StackDeviceAccess all(settings, *os, std::make_unique<LinuxDeviceStack>(*os));
    std::unique_ptr<DeviceAccess> one = SelectDevice(all, settings, *os, c.selector);
    ASSERT_TRUE(ConnectDevice(one->Engine())) << c.selector;
    EXPECT_EQ(ProcedureLockName(one->Engine()), c.name);
  }
}

TEST_F(LinuxStackTest, AnOverlappedReadEndsWithTheReportOrWhenCancelled) {
  LinuxDeviceStack stack(*os);
  OsHandle device = stack.CreateFileA("/dev/hidraw1", kReadWrite, 3, kOpenExisting, kFileFlagOverlapped);
  OverlappedIo record;
  record.event = os->CreateEventA();
  std::vector<std::uint8_t> buffer(128), report(128, 0x5A);
  std::uint32_t got = 0;
  EXPECT_FALSE(stack.ReadFileOverlapped(device, buffer.data(), 128, record));
  EXPECT_EQ(stack.GetLastError(), kErrorIoPending);
  EXPECT_FALSE(stack.GetOverlappedResult(device, record, &got, false));
  EXPECT_EQ(stack.GetLastError(), kErrorIoIncomplete);
  usb.SendInputReport(1, report);
  EXPECT_EQ(os->WaitForMultipleObjects(1, &record.event, 5000), kWaitObject0);
  EXPECT_TRUE(stack.GetOverlappedResult(device, record, &got, false));
  EXPECT_EQ(got, 128u);
  EXPECT_EQ(buffer, report);

  EXPECT_FALSE(stack.ReadFileOverlapped(device, buffer.data(), 128, record));
  EXPECT_TRUE(stack.CancelIoEx(device, record));
  EXPECT_FALSE(stack.GetOverlappedResult(device, record, &got, true));
  EXPECT_EQ(stack.GetLastError(), kErrorOperationAborted);
  os->CloseEvent(record.event);
}

// Both stacks that emulate Windows answer as it does where they once differed: enumeration
// counts only the class asked for, an instance ID's required size counts its terminator (an
// empty one's too), a handle without a running read has nothing to cancel, a cancelled read
// leaves the next read on the handle alone, and a read that a waiting report completes at
// once sets its event.
TEST_F(LinuxStackTest, BothEmulatingStacksAnswerAsWindowsDoes) {
  LinuxDeviceStack linuxStack(*os);
  UniqueDescriptor node(::open(EmulatedUsb::HidrawPath(1).c_str(), O_RDONLY | O_NONBLOCK));
  sim::SimBoard board{{}, std::vector<std::uint8_t>(16384, 0xFF)};
  sim::SimDeviceStack simulated(*os);
  simulated.AttachBoard(board);
  simulated.Interface(0).instanceId.clear();
  const std::vector<std::uint8_t> report(128, 0x5A);
  const struct {
    const char* name;
    DeviceStack& stack;
    std::string path;
    std::function<void()> sendReport;
    std::function<void()> awaitReport;  // until the report sent can be read
  } stacks[] = {
      {"Linux", linuxStack, EmulatedUsb::HidrawPath(1), [&] { usb.SendInputReport(1, report); },
       [&] {
         pollfd readable{node.Get(), POLLIN, 0};
         ::poll(&readable, 1, -1);
       }},
      {"simulated", simulated, simulated.Interface(0).path, [&] { simulated.DeliverInputReport(0, report); }, [] {}},
  };
  for (const auto& c : stacks) {
    DeviceStack& stack = c.stack;
    DeviceInfoSet set(stack, stack.SetupDiCreateDeviceInfoList());
    DeviceInterfaceData data, other;
    ASSERT_TRUE(stack.SetupDiOpenDeviceInterfaceA(set.Get(), c.path.c_str(), 0, &data)) << c.name;
    EXPECT_FALSE(stack.SetupDiEnumDeviceInterfaces(set.Get(), WinUsbInterfaceGuid, 0, other)) << c.name;
    EXPECT_EQ(stack.GetLastError(), kErrorNoMoreItems) << c.name;
    DevInfoData element;
    stack.SetupDiGetDeviceInterfaceDetailA(set.Get(), data, nullptr, 0, nullptr, &element);
    char id[256] = {};
    std::uint32_t required = 0;
    ASSERT_TRUE(stack.SetupDiGetDeviceInstanceIdA(set.Get(), element, id, sizeof id, nullptr)) << c.name;
    EXPECT_FALSE(stack.SetupDiGetDeviceInstanceIdA(set.Get(), element, nullptr, 0, &required)) << c.name;
    EXPECT_EQ(required, std::strlen(id) + 1) << c.name;

    Event event = Event::Create(*os);
    OverlappedIo record;
    record.event = event.Handle();
    FileHandle query(stack, stack.CreateFileA(c.path.c_str(), 0, 3, kOpenExisting, 0));
    EXPECT_FALSE(stack.CancelIoEx(query.Get(), record)) << c.name;
    EXPECT_EQ(stack.GetLastError(), kErrorNotFound) << c.name;
    FileHandle device(stack, stack.CreateFileA(c.path.c_str(), kReadWrite, 3, kOpenExisting, kFileFlagOverlapped));
    std::vector<std::uint8_t> buffer(128);
    std::uint32_t got = 0;
    EXPECT_FALSE(stack.ReadFileOverlapped(device.Get(), buffer.data(), 128, record)) << c.name;
    EXPECT_TRUE(stack.CancelIoEx(device.Get(), record)) << c.name;
    EXPECT_FALSE(stack.GetOverlappedResult(device.Get(), record, &got, true)) << c.name;
    EXPECT_FALSE(stack.ReadFileOverlapped(device.Get(), buffer.data(), 128, record)) << c.name;
    EXPECT_EQ(stack.GetLastError(), kErrorIoPending) << c.name;
    c.sendReport();
    EXPECT_TRUE(stack.GetOverlappedResult(device.Get(), record, &got, true)) << c.name;
    EXPECT_EQ(got, 128u) << c.name;
    c.sendReport();
    c.awaitReport();
    EXPECT_TRUE(stack.ReadFileOverlapped(device.Get(), buffer.data(), 128, record)) << c.name;
    EXPECT_EQ(os->WaitForMultipleObjects(1, &record.event, 0), kWaitObject0) << c.name;
  }
}

using Bytes = std::vector<std::uint8_t>;

// The report lengths HidP_GetCaps gives, from the report descriptor alone: input, output
// and feature lengths, report IDs in use, feature report 0xFF: or "invalid".
std::string Summary(const linuxstack::HidReportLayout& layout) {
  char text[64];
  std::snprintf(text, sizeof text, "%u %u %u%s%s", layout.inputLength, layout.outputLength, layout.featureLength,
                layout.usesReportIds ? " ids" : "", layout.featureReportIds.test(0xFF) ? " 0xFF" : "");
  return layout.valid ? text : "invalid";
}

// A vendor application collection around these items.
Bytes InCollection(Bytes items, bool closed = true) {
  items.insert(items.begin(), {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01});
  if (closed) items.push_back(0xC0);
  return items;
}

TEST(HidReportDescriptor, GivesTheLengthsHidPGetCapsWouldGive) {
  const struct {
    const char* name;
    Bytes descriptor;
    const char* summary;
  } cases[] = {
      {"controller", ControllerReportDescriptor(), "128 128 128 ids 0xFF"},
      {"keyboard without report IDs", KeyboardReportDescriptor(), "9 2 0"},
      // Feature 1 of 8 bytes and feature 2 of 64: the longer counts.
      {"two feature reports",
       InCollection({0x85, 0x01, 0x75, 0x08, 0x95, 0x08, 0xB1, 0x02, 0x85, 0x02, 0x95, 0x40, 0xB1, 0x02}), "0 0 65 ids"},
      // Push keeps size 8, pop brings it back after a 1-bit detour: 2 + 8 bits, 2 bytes.
      {"push and pop", InCollection({0x75, 0x08, 0x95, 0x01, 0xA4, 0x75, 0x01, 0x95, 0x02, 0x81, 0x02, 0xB4, 0x81, 0x02}),
       "3 0 0"},
      {"long item skipped", InCollection({0xFE, 0x02, 0x10, 0xAA, 0xBB, 0x75, 0x08, 0x95, 0x04, 0x91, 0x02}), "0 5 0"},
      {"item runs past the end", InCollection({0x75, 0x08, 0x96, 0x7F}, false), "invalid"},
      {"report ID 0", InCollection({0x85, 0x00, 0x75, 0x08, 0x95, 0x01, 0xB1, 0x02}), "invalid"},
      {"unbalanced collection", InCollection({0xC0}), "invalid"},
      {"report beyond 64 KiB", InCollection({0x77, 0xFF, 0xFF, 0xFF, 0x00, 0x97, 0xFF, 0xFF, 0x00, 0x00, 0x81, 0x02}),
       "invalid"},
      {"pop without push", InCollection({0xB4}), "invalid"},
  };
  for (const auto& c : cases) EXPECT_EQ(Summary(linuxstack::ParseHidReportDescriptor(c.descriptor)), c.summary) << c.name;
}

}  // namespace
}  // namespace tessora::test

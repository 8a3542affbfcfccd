// The device subsystems over the Linux device stack: the HID walk past devices this user
// may not open, and a board that goes away in the middle of its requests.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>

#include <thread>

#include "app/program_devices.h"
#include "devlib/interface_guids.h"
#include "devlib/qorv_device.h"
#include "devlib/qorv_device_library.h"
#include "devlib/winusb_transport.h"
#include "engine/connection.h"
#include "platform/linux/linux_device_stack.h"
#include "tests/linux/linux_stack_fixture.h"

namespace tessora::testing {
namespace {

using linuxstack::LinuxDeviceStack;

std::size_t OpenDescriptorCount() {
  std::size_t count = 0;
  DIR* directory = opendir("/proc/self/fd");
  while (readdir(directory) != nullptr) ++count;
  closedir(directory);
  return count;
}

// Keyboards refuse reading and writing to ordinary users; the walk over the HID
// candidates must go on to the controller enumerated after one.
TEST_F(LinuxStackTest, AKeyboardThatCannotBeOpenedDoesNotHideTheControllerAfterIt) {
  Settings settings;
  settings.useHid = 1;
  StackDeviceAccess devices(settings, *os, std::make_unique<LinuxDeviceStack>(*os, [](const char* path, int flags) {
    return std::string(path) == "/dev/hidraw0" ? (errno = EACCES, -1) : ::open(path, flags);
  }));
  EXPECT_TRUE(ConnectDevice(devices.Engine()));
}

// A board that goes away in the middle of its requests: every request fails as on
// Windows, and nothing stays open or locked.
TEST_F(LinuxStackTest, AnUnpluggedBoardFailsEveryRequestAndLeavesNoDescriptorOrLockBehind) {
  LinuxDeviceStack stack(*os);
  QorvDeviceLibrary library(*os, stack);
  library.SetInterfaceGuid(WinUsbInterfaceGuid);
  library.BuildDeviceList(false);
  ASSERT_EQ(library.DeviceCount(), 1);
  QorvDevice& winUsbDevice = *library.FindByHandle(library.FirstDevice());
  WinUsbTransport transport(winUsbDevice);
  std::uint8_t byte = 0;
  // The first transfer creates the device's mutex, which it keeps for the rest of the run.
  EXPECT_EQ(transport.MemoryRead(0x0010, 1, &byte), 1u);
  std::uint8_t report[128] = {0xFF, 0x01, 0x00, 0x10, 0x01, 0xAB};  // memory write of one byte
  OsHandle hid = stack.CreateFileA("/dev/hidraw1", kGenericRead | kGenericWrite, 3, kOpenExisting, 0);
  ASSERT_TRUE(stack.HidD_SetFeature(hid, report, sizeof report));
  EXPECT_EQ(transport.MemoryRead(0x0010, 1, &byte), 1u);
  EXPECT_EQ(byte, 0xAB);  // both faces reach the one board
  std::size_t descriptorsBefore = OpenDescriptorCount();

  boardA.Unplug();
  // Many failed requests, so that a descriptor lost by each would stand out from the
  // emulation's own coming and going.
  for (int attempt = 0; attempt < 20; ++attempt) {
    EXPECT_FALSE(stack.HidD_SetFeature(hid, report, sizeof report));
    EXPECT_EQ(stack.GetLastError(), kErrorDeviceNotConnected);
    EXPECT_FALSE(stack.HidD_GetFeature(hid, report, sizeof report));
    EXPECT_EQ(stack.GetLastError(), kErrorDeviceNotConnected);
    EXPECT_EQ(transport.MemoryRead(0x0010, 1, &byte), 0u);
  }
  EXPECT_TRUE(stack.CloseHandle(hid));
  EXPECT_LT(OpenDescriptorCount(), descriptorsBefore + 5);
  // Another thread takes the device lock at once: the failed transfer let go of it.
  bool locked = false;
  std::thread([&] {
    locked = winUsbDevice.Lock(0);
    if (locked) winUsbDevice.Unlock();
  }).join();
  EXPECT_TRUE(locked);
}

}  // namespace
}  // namespace tessora::testing

// The package's udev probe against emulated sysfs and nodes: it must grant exactly the
// controllers, whatever their IDs, from what their nodes declare.
#include <gtest/gtest.h>
#include <libudev.h>

#include <memory>
#include <string>

#include "app/udev_probe/controller_probe.h"
#include "sim/board/sim_board.h"
#include "tests/linux/emulated_usb.h"

namespace tessora::test {
namespace {

struct UdevUnref {
  void operator()(udev* context) const { udev_unref(context); }
};

// The sysfs directory udev gives the rule as %S%p for the device behind a node.
std::string SysfsPathOf(const std::string& subsystem, const std::string& node) {
  std::unique_ptr<udev, UdevUnref> context(udev_new());
  udev_enumerate* listing = udev_enumerate_new(context.get());
  udev_enumerate_add_match_subsystem(listing, subsystem.c_str());
  udev_enumerate_scan_devices(listing);
  std::string found;
  udev_list_entry* entry = nullptr;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(listing)) {
    udev_device* device = udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry));
    if (device == nullptr) continue;
    const char* devnode = udev_device_get_devnode(device);
    if (devnode != nullptr && node == devnode) found = udev_device_get_syspath(device);
    udev_device_unref(device);
  }
  udev_enumerate_unref(listing);
  return found;
}

TEST(UdevProbeTest, GrantsTheControllersNodesByWhatTheyDeclare) {
  sim::SimBoard board{{}, std::vector<std::uint8_t>(16384, 0xFF)};
  struct Case {
    const char* name;
    EmulatedDevice device;
    bool hidrawIsController;
    bool usbIsController;
  };
  const Case cases[] = {
      {"keyboard", {0x046D, 0xC31C, "Keyboard", "", KeyboardReportDescriptor(), false, nullptr}, false, false},
      {"controller, board maker's own IDs", {.vendorId = 0x1209, .productId = 0x7A01, .board = &board}, true, true},
      {"controller without the MS OS 2.0 capability", {.msOs20 = false, .board = &board}, true, false},
      {"vendor interface of another class",
       {.board = &board, .interfaceGuid = "{0C0FFEE0-1234-4321-ABCD-0123456789AB}"}, true, false},
  };
  std::vector<EmulatedDevice> devices;
  for (const Case& c : cases) devices.push_back(c.device);
  EmulatedUsb usb(devices);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].name);
    std::string hidraw = SysfsPathOf("hidraw", EmulatedUsb::HidrawPath(i));
    std::string device = SysfsPathOf("usb", EmulatedUsb::UsbPath(i));
    ASSERT_FALSE(hidraw.empty());
    ASSERT_FALSE(device.empty());
    EXPECT_EQ(HidrawNodeIsController(hidraw), cases[i].hidrawIsController);
    EXPECT_EQ(UsbDeviceIsController(device), cases[i].usbIsController);
  }
}

}  // namespace
}  // namespace tessora::test

#include "app/udev_rule.h"

#include <cstdio>
#include <set>
#include <utility>

namespace tessora {

std::vector<DeviceInterfaceRecord> ControllersPresent(DeviceStack& stack) {
  std::vector<DeviceInterfaceRecord> found;
  for (DeviceInterfaceRecord& record : TakeInventory(stack, InterfaceKind::Hid))
    if (record.controller) found.push_back(std::move(record));
  for (DeviceInterfaceRecord& record : TakeInventory(stack, InterfaceKind::WinUsb)) found.push_back(std::move(record));
  return found;
}

std::string UdevRule(const std::vector<DeviceInterfaceRecord>& controllers) {
  std::string rule;
  std::set<std::pair<unsigned, unsigned>> written;
  for (const DeviceInterfaceRecord& controller : controllers) {
    // Only USB devices carry the idVendor and idProduct attributes the rule matches.
    if (controller.usbPort.empty() || !written.insert({controller.vendorId, controller.productId}).second) continue;
    std::string product = controller.usbProduct;
    for (char& c : product)
      if (static_cast<unsigned char>(c) < 0x20) c = '?';  // one comment line, whatever the device says
    char lines[512];
    std::snprintf(lines, sizeof lines,
                  "# %04x:%04x %s\n"
                  "SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"%04x\", ATTRS{idProduct}==\"%04x\", TAG+=\"uaccess\"\n"
                  "SUBSYSTEM==\"usb\", ENV{DEVTYPE}==\"usb_device\", ATTR{idVendor}==\"%04x\", "
                  "ATTR{idProduct}==\"%04x\", TAG+=\"uaccess\"\n",
                  controller.vendorId, controller.productId, product.c_str(), controller.vendorId,
                  controller.productId, controller.vendorId, controller.productId);
    rule += lines;
  }
  if (rule.empty()) return rule;
  return "# Tessora: the logged-in user may update these controllers (install in /etc/udev/rules.d/, then replug)\n" +
         rule;
}

}  // namespace tessora

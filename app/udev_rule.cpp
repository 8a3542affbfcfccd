#include "app/udev_rule.h"

#include <cstdio>
#include <set>
#include <utility>

namespace tessora::linuxstack {

std::string UdevRule(const std::vector<LinuxNode>& controllers) {
  std::string rule;
  std::set<std::pair<unsigned, unsigned>> written;
  for (const LinuxNode& node : controllers) {
    // Only USB devices carry the idVendor and idProduct attributes the rule matches.
    if (node.busNumber == 0 || !written.insert({node.vendorId, node.productId}).second) continue;
    std::string product = node.hasProduct ? node.product : "";
    for (char& c : product)
      if (static_cast<unsigned char>(c) < 0x20) c = '?';  // one comment line, whatever the device says
    char lines[512];
    std::snprintf(lines, sizeof lines,
                  "# %04x:%04x %s\n"
                  "SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"%04x\", ATTRS{idProduct}==\"%04x\", TAG+=\"uaccess\"\n"
                  "SUBSYSTEM==\"usb\", ENV{DEVTYPE}==\"usb_device\", ATTR{idVendor}==\"%04x\", "
                  "ATTR{idProduct}==\"%04x\", TAG+=\"uaccess\"\n",
                  node.vendorId, node.productId, product.c_str(), node.vendorId,
                  node.productId, node.vendorId, node.productId);
    rule += lines;
  }
  if (rule.empty()) return rule;
  return "# Tessora: the logged-in user may update these controllers (install in /etc/udev/rules.d/, then replug)\n" +
         rule;
}

}  // namespace tessora::linuxstack

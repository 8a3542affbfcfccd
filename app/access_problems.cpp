#include "app/access_problems.h"

#include <cstdio>

#include "app/device_inventory.h"

namespace tessora {

namespace {

bool MayBeController(DeviceStack& stack, const RefusedNode& node) {
  if (node.interfaceClass == stack.HidD_GetHidGuid()) return DeclaresControllerReport(stack, node.path);
  // A USB device whose classes could not be read may still be the controller.
  return node.interfaceClass == Guid{} || node.interfaceClass == InterfaceClassOf(stack, InterfaceKind::WinUsb) ||
         node.interfaceClass == InterfaceClassOf(stack, InterfaceKind::FilterDriver);
}

}  // namespace

std::vector<std::string> AccessProblems(DeviceStack& stack) {
  std::vector<std::string> lines;
  for (const RefusedNode& node : stack.RefusedNodes()) {
    if (node.error != kErrorAccessDenied || !MayBeController(stack, node)) continue;
    char line[512];
    std::snprintf(line, sizeof line,
                  "%s (%04x:%04x %s) cannot be opened: permission denied. Give the logged-in user access with "
                  "'tessora --udev-rule | sudo tee /etc/udev/rules.d/70-tessora.rules' and replug the device.",
                  node.path.c_str(), node.vendorId, node.productId,
                  node.product.empty() ? "unknown" : node.product.c_str());
    lines.push_back(line);
  }
  return lines;
}

}  // namespace tessora

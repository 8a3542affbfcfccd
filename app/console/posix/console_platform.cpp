#include <cstdio>
#include <string>

#include "app/console/console_platform.h"
#include "platform/linux/linux_device_stack.h"
#include "platform/linux/udev_rule.h"

namespace tessora {

int PrintUdevRule(DeviceStack* realStack) {
  auto* stack = dynamic_cast<linuxstack::LinuxDeviceStack*>(realStack);
  if (stack == nullptr) {
    std::fprintf(stderr, "tessora: --udev-rule is for real devices; unset TESSORA_SIM\n");
    return 2;
  }
  std::string rule = linuxstack::UdevRule(stack->Controllers());
  if (rule.empty()) {
    std::fprintf(stderr, "tessora: no controller found (plug it in; a WinUSB controller whose node this user "
                         "cannot open is found by root only)\n");
    return 1;
  }
  std::printf("%s", rule.c_str());
  return 0;
}

bool EnableTerminalSequences() { return true; }

void ExplainFailure(const Settings& settings) {
  if (!settings.useHid && !settings.useWinUsb)
    std::fprintf(stderr,
                 "tessora: the FilterDriver interface exists only on Windows; on Linux use --interface hid or "
                 "--interface winusb\n");
}

}  // namespace tessora

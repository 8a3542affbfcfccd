// tessora-udev-probe: the package's udev rule runs it for each hidraw node and USB device
// that appears; exit status 0 tells udev the node is a Qorvane controller.
#include <cstdio>
#include <cstring>
#include <string>

#include "app/udev_probe/controller_probe.h"

namespace {

constexpr int kController = 0;
constexpr int kNoController = 1;
constexpr int kUsage = 2;

int Usage() {
  std::fputs("Usage: tessora-udev-probe hidraw SYSFS-PATH\n"
             "       tessora-udev-probe usb SYSFS-PATH\n"
             "Exit status 0 when the node is a Qorvane controller, 1 when not, 2 on a usage error.\n",
             stderr);
  return kUsage;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "hidraw") == 0)
    return tessora::HidrawNodeIsController(argv[2]) ? kController : kNoController;
  if (argc == 3 && std::strcmp(argv[1], "usb") == 0)
    return tessora::UsbDeviceIsController(argv[2]) ? kController : kNoController;
  return Usage();
}

// The udev probe reads bytes a device chose: its report descriptor, its USB descriptors
// and its Microsoft OS 2.0 descriptor set. Any of them must be judged without reading
// past their ends.
#include <cstddef>
#include <cstdint>
#include <span>

#include "app/udev_probe/controller_probe.h"
#include "platform/linux/udev_devices.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::span<const std::uint8_t> bytes(data, size);
  tessora::ReportDescriptorDeclaresController(bytes);
  tessora::DeclaresControllerWinUsbInterface(tessora::linuxstack::DeclaredInterfaceClasses(bytes));
  tessora::linuxstack::LinuxNode device;
  device.kind = tessora::linuxstack::NodeKind::UsbDevice;
  device.descriptors.assign(bytes.begin(), bytes.end());
  tessora::linuxstack::MayDeclareInterfaceClasses(device);
  return 0;
}

#include "app/udev_probe/controller_probe.h"

#include <libusb.h>

#include <fstream>
#include <memory>

#include "devlib/interface_guids.h"
#include "engine/hid_requests.h"
#include "platform/linux/hid_report_descriptor.h"
#include "platform/linux/ms_os_request.h"
#include "platform/linux/udev_devices.h"

namespace tessora {

namespace {

// Report descriptors are at most 4096 bytes (HID_MAX_DESCRIPTOR_SIZE); the USB descriptors
// file holds the device and every configuration descriptor, each at most 64 KiB.
constexpr std::size_t kLargestSysfsFile = 1 << 20;

std::vector<std::uint8_t> ReadSysfsBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::vector<std::uint8_t> bytes;
  char c = 0;
  while (bytes.size() < kLargestSysfsFile && file.get(c)) bytes.push_back(static_cast<std::uint8_t>(c));
  return bytes;
}

struct ContextExit {
  void operator()(libusb_context* context) const { libusb_exit(context); }
};
struct HandleClose {
  void operator()(libusb_device_handle* handle) const { libusb_close(handle); }
};
struct ListFree {
  void operator()(libusb_device** list) const { libusb_free_device_list(list, 1); }
};

int ReadSysfsNumber(const std::string& path) {
  std::ifstream file(path);
  int number = -1;
  file >> number;
  return file ? number : -1;
}

// The device at the bus and address sysfs gives for it. libusb lists the devices from
// sysfs alone; only the device opened is sent requests.
std::vector<linuxstack::DeclaredInterfaceClass> AskDevice(int busNumber, int deviceAddress) {
  libusb_context* raw = nullptr;
  if (libusb_init(&raw) != LIBUSB_SUCCESS) return {};
  std::unique_ptr<libusb_context, ContextExit> context(raw);
  libusb_device** devices = nullptr;
  ssize_t count = libusb_get_device_list(context.get(), &devices);
  if (count < 0) return {};
  std::unique_ptr<libusb_device*, ListFree> list(devices);
  for (ssize_t i = 0; i < count; ++i) {
    if (libusb_get_bus_number(devices[i]) != busNumber || libusb_get_device_address(devices[i]) != deviceAddress)
      continue;
    libusb_device_handle* handle = nullptr;
    if (libusb_open(devices[i], &handle) != LIBUSB_SUCCESS) return {};
    std::unique_ptr<libusb_device_handle, HandleClose> device(handle);
    return linuxstack::AskInterfaceClasses(device.get());
  }
  return {};
}

}  // namespace

bool ReportDescriptorDeclaresController(std::span<const std::uint8_t> reportDescriptor) {
  linuxstack::HidReportLayout layout = linuxstack::ParseHidReportDescriptor(reportDescriptor);
  return layout.valid && layout.featureReportIds.test(kHidReportId);
}

bool DeclaresControllerWinUsbInterface(const std::vector<linuxstack::DeclaredInterfaceClass>& declared) {
  for (const linuxstack::DeclaredInterfaceClass& entry : declared)
    if (entry.interfaceClass == WinUsbInterfaceGuid) return true;
  return false;
}

bool HidrawNodeIsController(const std::string& sysfsPath) {
  // The hidraw node's "device" is the HID device, which holds the report descriptor.
  return ReportDescriptorDeclaresController(ReadSysfsBytes(sysfsPath + "/device/report_descriptor"));
}

bool UsbDeviceIsController(const std::string& sysfsPath) {
  linuxstack::LinuxNode node;
  node.kind = linuxstack::NodeKind::UsbDevice;
  node.descriptors = ReadSysfsBytes(sysfsPath + "/descriptors");
  if (!linuxstack::MayDeclareInterfaceClasses(node)) return false;
  return DeclaresControllerWinUsbInterface(
      AskDevice(ReadSysfsNumber(sysfsPath + "/busnum"), ReadSysfsNumber(sysfsPath + "/devnum")));
}

}  // namespace tessora

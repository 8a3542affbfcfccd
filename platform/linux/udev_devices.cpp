#include "platform/linux/udev_devices.h"

#include <libudev.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace tessora::linuxstack {

namespace {

struct DeviceRelease {
  void operator()(udev_device* device) const { udev_device_unref(device); }
};
struct EnumerateRelease {
  void operator()(udev_enumerate* enumerate) const { udev_enumerate_unref(enumerate); }
};
struct FileClose {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using UdevDevice = std::unique_ptr<udev_device, DeviceRelease>;

constexpr std::size_t kLargestSysfsFile = 65536;
constexpr std::uint8_t kInterfaceDescriptor = 4;
constexpr std::uint8_t kVendorSpecificClass = 0xFF;

std::string Attribute(udev_device* device, const char* name, bool* present = nullptr) {
  const char* value = device != nullptr ? udev_device_get_sysattr_value(device, name) : nullptr;
  if (present != nullptr) *present = value != nullptr && value[0] != '\0';
  return value != nullptr ? value : "";
}

unsigned long Number(const std::string& text, int base) { return std::strtoul(text.c_str(), nullptr, base); }

// A binary sysfs attribute (report_descriptor, descriptors), read whole.
std::vector<std::uint8_t> ReadSysfsFile(udev_device* device, const char* name) {
  std::string path = std::string(udev_device_get_syspath(device)) + "/" + name;
  std::unique_ptr<std::FILE, FileClose> file(std::fopen(path.c_str(), "rb"));
  std::vector<std::uint8_t> bytes;
  if (!file) return bytes;
  bytes.resize(kLargestSysfsFile);
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file.get()));
  return bytes;
}

// Identity, strings and instance ID from the USB device a node belongs to.
void TakeUsbDevice(udev_device* usb, LinuxNode& node) {
  node.vendorId = static_cast<std::uint16_t>(Number(Attribute(usb, "idVendor"), 16));
  node.productId = static_cast<std::uint16_t>(Number(Attribute(usb, "idProduct"), 16));
  node.version = static_cast<std::uint16_t>(Number(Attribute(usb, "bcdDevice"), 16));
  node.product = Attribute(usb, "product", &node.hasProduct);
  node.serial = Attribute(usb, "serial", &node.hasSerial);
  node.busNumber = static_cast<int>(Number(Attribute(usb, "busnum"), 10));
  node.deviceAddress = static_cast<int>(Number(Attribute(usb, "devnum"), 10));
  node.portPath = udev_device_get_sysname(usb);
  node.instanceId = UsbInstanceId(node.vendorId, node.productId, node.serial, node.portPath);
}

template <typename Take>
std::vector<LinuxNode> Scan(struct udev* udev, const char* subsystem, const char* devtype, Take take) {
  std::vector<LinuxNode> nodes;
  if (udev == nullptr) return nodes;
  std::unique_ptr<udev_enumerate, EnumerateRelease> enumerate(udev_enumerate_new(udev));
  if (!enumerate) return nodes;
  udev_enumerate_add_match_subsystem(enumerate.get(), subsystem);
  if (devtype != nullptr) udev_enumerate_add_match_property(enumerate.get(), "DEVTYPE", devtype);
  udev_enumerate_scan_devices(enumerate.get());
  udev_list_entry* entry = nullptr;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get())) {
    UdevDevice device(udev_device_new_from_syspath(udev, udev_list_entry_get_name(entry)));
    if (!device || udev_device_get_devnode(device.get()) == nullptr) continue;
    LinuxNode node;
    node.path = udev_device_get_devnode(device.get());
    if (take(device.get(), node)) nodes.push_back(std::move(node));
  }
  std::sort(nodes.begin(), nodes.end(), [](const LinuxNode& a, const LinuxNode& b) { return a.number < b.number; });
  return nodes;
}

}  // namespace

std::string UsbInstanceId(std::uint16_t vendorId, std::uint16_t productId, const std::string& serial,
                          const std::string& portPath) {
  bool serialUsable = !serial.empty() && std::all_of(serial.begin(), serial.end(), [](char c) {
    return c > 0x20 && c < 0x7F && c != ',';
  });
  char ids[32];
  std::snprintf(ids, sizeof ids, "USB\\VID_%04X&PID_%04X\\", vendorId, productId);
  std::string id = ids;
  for (char c : serialUsable ? serial : portPath) id += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return id;
}

UdevSystem::UdevSystem() : udev_(udev_new()) {}
UdevSystem::~UdevSystem() {
  if (udev_ != nullptr) udev_unref(udev_);
}

std::vector<LinuxNode> UdevSystem::HidrawNodes() {
  std::lock_guard lock(mutex_);
  return Scan(udev_, "hidraw", nullptr, [](udev_device* device, LinuxNode& node) {
    node.kind = NodeKind::Hidraw;
    const char* number = udev_device_get_sysnum(device);
    node.number = number != nullptr ? static_cast<unsigned>(Number(number, 10)) : 0;
    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(device, "hid", nullptr);
    if (hid == nullptr) return false;
    node.descriptors = ReadSysfsFile(hid, "report_descriptor");
    // The HID core's name for the device: the USB strings, or "HID vvvv:pppp" without them.
    const char* name = udev_device_get_property_value(hid, "HID_NAME");
    bool named = name != nullptr && name[0] != '\0';
    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device");
    if (usb != nullptr) {
      TakeUsbDevice(usb, node);
      // HID.DLL would fail the product string here, and the HID listing gives up at the
      // first device without one, so one such device would hide every controller.
      if (!node.hasProduct && named) node.product = name, node.hasProduct = true;
      return true;
    }
    // Bluetooth and I2C devices: what the HID core knows of them.
    const char* hidId = udev_device_get_property_value(hid, "HID_ID");
    unsigned bus = 0, vendor = 0, product = 0;
    if (hidId != nullptr) std::sscanf(hidId, "%x:%x:%x", &bus, &vendor, &product);
    node.vendorId = static_cast<std::uint16_t>(vendor);
    node.productId = static_cast<std::uint16_t>(product);
    const char* uniq = udev_device_get_property_value(hid, "HID_UNIQ");
    node.hasProduct = named;
    node.product = named ? name : "";
    node.hasSerial = uniq != nullptr && uniq[0] != '\0';
    node.serial = node.hasSerial ? uniq : "";
    char ids[40];
    std::snprintf(ids, sizeof ids, "HID\\VID_%04X&PID_%04X\\", node.vendorId, node.productId);
    node.instanceId = ids + std::string(udev_device_get_sysname(hid));
    return true;
  });
}

std::vector<LinuxNode> UdevSystem::UsbDevices() {
  std::lock_guard lock(mutex_);
  return Scan(udev_, "usb", "usb_device", [](udev_device* device, LinuxNode& node) {
    node.kind = NodeKind::UsbDevice;
    TakeUsbDevice(device, node);
    node.number = static_cast<unsigned>(node.busNumber * 1000 + node.deviceAddress);
    node.descriptors = ReadSysfsFile(device, "descriptors");
    return true;
  });
}

bool MayDeclareInterfaceClasses(const LinuxNode& usbDevice) {
  const std::vector<std::uint8_t>& bytes = usbDevice.descriptors;
  if (bytes.size() < 18 || (bytes[2] | bytes[3] << 8) < 0x0201) return false;
  for (std::size_t at = 18; at + 6 <= bytes.size() && bytes[at] >= 2; at += bytes[at])
    if (bytes[at + 1] == kInterfaceDescriptor && bytes[at + 5] == kVendorSpecificClass) return true;
  return false;
}

}  // namespace tessora::linuxstack

#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/types.h"

struct udev;

namespace tessora::linuxstack {

enum class NodeKind { Hidraw, UsbDevice };

// One device node as udev describes it, with what the device stack answers about it.
struct LinuxNode {
  NodeKind kind = NodeKind::Hidraw;
  std::string path;        // the device node, /dev/hidrawN or /dev/bus/usb/BBB/DDD
  std::string instanceId;  // of the USB device it belongs to, in the Windows form
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::uint16_t version = 0;
  bool hasProduct = false;
  bool hasSerial = false;
  std::string product;  // UTF-8, as the device gave it
  std::string serial;
  unsigned number = 0;  // hidraw node number; bus * 1000 + address for USB devices
  int busNumber = 0;
  int deviceAddress = 0;
  std::string portPath;  // of the USB device, "BUS-PORT" ("1-1.4"); empty off USB
  // Hidraw: the report descriptor. USB device: its device and configuration descriptors.
  std::vector<std::uint8_t> descriptors;
  // The class the device stack last listed it under; the null GUID before that.
  Guid interfaceClass{};
};

// `USB\VID_xxxx&PID_xxxx\<serial>`, or the bus-port path ("1-1.4") in place of a serial
// that is missing or that Windows would refuse in an instance ID.
std::string UsbInstanceId(std::uint16_t vendorId, std::uint16_t productId, const std::string& serial,
                          const std::string& portPath);

// The udev library's view of the system, for one run. libudev lets one thread at a time
// use a context, so the listings take turns.
class UdevSystem {
 public:
  UdevSystem();
  ~UdevSystem();
  UdevSystem(const UdevSystem&) = delete;
  UdevSystem& operator=(const UdevSystem&) = delete;

  // Every hidraw node, by node number.
  std::vector<LinuxNode> HidrawNodes();
  // Every USB device (not its interfaces), by bus and address.
  std::vector<LinuxNode> UsbDevices();

 private:
  std::mutex mutex_;
  struct udev* udev_;
};

// True when a USB device's descriptors make it worth asking for a Microsoft OS 2.0
// descriptor set, which declares its interface classes: USB 2.01 or later (so it has a
// BOS) and a vendor-specific interface.
bool MayDeclareInterfaceClasses(const LinuxNode& usbDevice);

}  // namespace tessora::linuxstack

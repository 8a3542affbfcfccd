#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/device_stack.h"

namespace tessora {

// The three interfaces a controller is reached through.
enum class InterfaceKind { Hid, FilterDriver, WinUsb };

// The interface class of a kind; the HID class is the stack's.
Guid InterfaceClassOf(DeviceStack& stack, InterfaceKind kind);
// The kind an interface class is listed as: HID, FilterDriver, or else WinUSB.
InterfaceKind KindOfClass(DeviceStack& stack, const Guid& interfaceClass);

// One device interface as the system describes it, taken once and read by every listing,
// selector and run on every board.
struct DeviceInterfaceRecord {
  InterfaceKind kind = InterfaceKind::Hid;
  std::string path;
  std::optional<std::string> instanceId;  // none when the stack gives none
  // HID: its attributes; a driver interface: its USB instance ID.
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  // HID: the strings the device reports, as HID.DLL hands them over; none when it fails.
  std::optional<std::u16string> hidProduct;
  std::optional<std::u16string> hidSerial;
  // The USB device behind it as the system names it: its product string (UTF-8) and where
  // it is plugged in; empty where the stack cannot tell.
  std::string usbProduct;
  std::string usbPort;
  // A driver interface, or a HID interface whose report descriptor declares the
  // controller's report: one that should answer, where a keyboard is merely not a board.
  bool controller = false;
};

// What a USB instance ID, USB\VID_xxxx&PID_xxxx\<serial>, tells as far as it has those parts.
struct UsbInstanceParts {
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::optional<std::string> serial;
};
UsbInstanceParts ParseUsbInstanceId(const std::string& instanceId);

// The last part of a USB instance ID, which names the device (its serial number, or its
// place when it has none); empty for other instance IDs.
std::string InstanceIdSerial(const std::string& instanceId);

// A HID string as ASCII, each other unit as '?'.
std::string AsciiText(const std::u16string& units);

// The name a person knows the device by: the serial number its instance ID ends with or
// that its HID interface reports, else where it is plugged in, else the interface's path.
std::string DeviceName(const DeviceInterfaceRecord& record);

// Whether a HID interface's report descriptor declares the controller's report; it is
// opened for queries only.
bool DeclaresControllerReport(DeviceStack& stack, const std::string& path);

// The path of the interface an enumeration record names; none when the stack refuses it.
std::optional<std::string> InterfacePath(DeviceStack& stack, OsHandle set, const DeviceInterfaceData& data,
                                         DevInfoData* element = nullptr);

// The interface an enumeration record names. HID interfaces are opened for queries only;
// nothing is sent to a device. None when the stack refuses the interface's path.
std::optional<DeviceInterfaceRecord> DescribeInterface(DeviceStack& stack, OsHandle set, InterfaceKind kind,
                                                       const DeviceInterfaceData& data);

// Every interface of the kind that is present, in the stack's order.
std::vector<DeviceInterfaceRecord> TakeInventory(DeviceStack& stack, InterfaceKind kind);

}  // namespace tessora

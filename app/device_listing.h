#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/device_stack.h"

namespace tessora {

// One device interface as `tessora --list` shows it.
struct ListedInterface {
  std::string interfaceName;  // hid, filterdriver, winusb
  std::string path;
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::string product;     // HID: the product string; "-" when there is none to tell
  std::string serial;      // "-" when there is none to tell
  std::string instanceId;  // "-" when the stack gives none
  std::string port;        // where the USB device is plugged in; empty when unknown
  std::string access;      // opens, no-access, open-fails(N)
  bool candidate = false;  // a HID interface that declares the controller's feature report
};

// Every interface of the device inventory, HID, then FilterDriver, then WinUSB. Opens and
// closes the interfaces but sends no request.
std::vector<ListedInterface> ListDeviceInterfaces(DeviceStack& stack);

// The listing's header line and one line per interface: interface, path, VID:PID, product,
// serial, instance ID, access and "candidate".
std::string ListingHeader();
std::string ListingLine(const ListedInterface& listed);

// The listing as one JSON array of objects on one line, without a line end.
std::string ListingJson(const std::vector<ListedInterface>& listing);

}  // namespace tessora

#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/linux/ms_os_descriptor.h"

namespace tessora {

// What the package's udev rule asks of a node before it hands the node to the logged-in
// user. Board makers choose their own vendor and product IDs, so a controller is known by
// what it declares, never by its IDs.

// A hidraw node is a controller when its report descriptor declares the controller's
// feature report.
bool ReportDescriptorDeclaresController(std::span<const std::uint8_t> reportDescriptor);

// A USB device is a controller when its Microsoft OS 2.0 descriptors declare the WinUSB
// interface the controller is bound to on Windows.
bool DeclaresControllerWinUsbInterface(const std::vector<linuxstack::DeclaredInterfaceClass>& declared);

// The whole probe of one node, from its sysfs directory (udev's %S%p): true for a
// controller. A hidraw node's report descriptor is read from sysfs; a USB device is asked
// for its Microsoft OS 2.0 descriptors only when its sysfs descriptors
// show a vendor-specific interface on a device that can have them.
bool HidrawNodeIsController(const std::string& sysfsPath);
bool UsbDeviceIsController(const std::string& sysfsPath);

}  // namespace tessora

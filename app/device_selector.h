#pragma once
#include <memory>
#include <string>

#include "app/device_inventory.h"
#include "platform/device_stack.h"

namespace tessora {

// The one device `--device` names, by the kind of name it was given: `usb:BUS-PORT` names
// a place, a text that starts with '/' or '\' an interface's path as --list prints it, one
// with a '\' inside a device instance ID, and any other text a serial number (the last part
// of a USB instance ID, or what a HID interface reports). Letter case does not count.
class DeviceSelector {
 public:
  enum class Kind { Path, InstanceId, Serial, Port };

  static DeviceSelector Parse(const std::string& text);

  bool Matches(const DeviceInterfaceRecord& record) const;

 private:
  DeviceSelector(Kind kind, std::string name) : kind_(kind), name_(std::move(name)) {}

  Kind kind_;
  std::string name_;
};

// A view of `all` in which enumeration lists only the interfaces of the device the
// selector names; every other call goes through unchanged, so the device library and the
// HID enumeration above it find that device or none.
std::unique_ptr<DeviceStack> SelectedView(DeviceStack& all, const DeviceSelector& selector);

// A view of `all` in which enumeration lists only the interface with exactly this path:
// one board of a run on every board, as the inventory listed it.
std::unique_ptr<DeviceStack> InterfaceView(DeviceStack& all, const std::string& path);

}  // namespace tessora

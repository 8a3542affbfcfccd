#pragma once
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "platform/forwarding_device_stack.h"

namespace tessora {

// Whether an interface that enumeration lists belongs in the view; it may ask the stack
// below (`all`) about the interface the record names in the set.
using InterfaceFilter =
    std::function<bool(DeviceStack& all, OsHandle set, const Guid& interfaceClass, const DeviceInterfaceData& data)>;

// A view of another device stack in which enumeration lists only the interfaces the filter
// accepts. Every other call goes through unchanged, so the device library and the HID
// enumeration above it find those interfaces or none.
class SelectedDeviceStack : public ForwardingDeviceStack {
 public:
  SelectedDeviceStack(DeviceStack& all, InterfaceFilter filter)
      : ForwardingDeviceStack(all), filter_(std::move(filter)) {}

  OsHandle SetupDiGetClassDevsA(const Guid& interfaceClass, std::uint32_t flags) override;
  bool SetupDiEnumDeviceInterfaces(OsHandle set, const Guid& interfaceClass, std::uint32_t index,
                                   DeviceInterfaceData& data) override;
  bool SetupDiDestroyDeviceInfoList(OsHandle set) override;

 private:
  // Which interfaces of the full set are the selected device's, and the index at which
  // the full set ends (asking for it gives ERROR_NO_MORE_ITEMS from the stack below).
  struct Selection {
    std::vector<std::uint32_t> members;
    std::uint32_t end = 0;
  };
  Selection Select(OsHandle set, const Guid& interfaceClass);

  InterfaceFilter filter_;
  std::mutex mutex_;
  std::map<OsHandle, Selection> selections_;
};

}  // namespace tessora

#include "app/device_selector.h"

#include "platform/device_path.h"
#include "app/selected_device_stack.h"

namespace tessora {

namespace {

constexpr const char* kPortPrefix = "usb:";

bool Same(const std::string& a, const std::string& b) { return SamePathIgnoringCase(a.c_str(), b.c_str()); }

}  // namespace

DeviceSelector DeviceSelector::Parse(const std::string& text) {
  if (text.rfind(kPortPrefix, 0) == 0) return {Kind::Port, text.substr(std::char_traits<char>::length(kPortPrefix))};
  // Linux device nodes start with '/', Windows interface paths with "\\?\".
  if (!text.empty() && (text[0] == '/' || text[0] == '\\')) return {Kind::Path, text};
  if (text.find('\\') != std::string::npos) return {Kind::InstanceId, text};
  return {Kind::Serial, text};
}

bool DeviceSelector::Matches(const DeviceInterfaceRecord& record) const {
  switch (kind_) {
    case Kind::Path:
      return Same(record.path, name_);
    case Kind::InstanceId:
      return record.instanceId && Same(*record.instanceId, name_);
    case Kind::Port:
      return !record.usbPort.empty() && Same(record.usbPort, name_);
    case Kind::Serial:
      break;
  }
  if (name_.empty()) return false;
  if (record.instanceId && Same(InstanceIdSerial(*record.instanceId), name_)) return true;
  return record.kind == InterfaceKind::Hid && record.hidSerial && Same(AsciiText(*record.hidSerial), name_);
}

std::unique_ptr<DeviceStack> SelectedView(DeviceStack& all, const DeviceSelector& selector) {
  return std::make_unique<SelectedDeviceStack>(
      all, [selector](DeviceStack& stack, OsHandle set, const Guid& interfaceClass, const DeviceInterfaceData& data) {
        std::optional<DeviceInterfaceRecord> record =
            DescribeInterface(stack, set, KindOfClass(stack, interfaceClass), data);
        return record && selector.Matches(*record);
      });
}

std::unique_ptr<DeviceStack> InterfaceView(DeviceStack& all, const std::string& path) {
  return std::make_unique<SelectedDeviceStack>(
      all, [path](DeviceStack& stack, OsHandle set, const Guid& /*interfaceClass*/, const DeviceInterfaceData& data) {
        return InterfacePath(stack, set, data) == path;
      });
}

}  // namespace tessora

#include "app/selected_device_stack.h"

#include "platform/device_path.h"
#include "platform/stack_handle.h"

namespace tessora {

namespace {

// Enumeration indexes that fail for another reason than the end of the set are skipped,
// as the device library does; past this many the set is taken as ended.
constexpr std::uint32_t kLargestSet = 4096;
constexpr std::uint32_t kSerialUnits = 128;

bool Same(const std::string& a, const std::string& b) { return SamePathIgnoringCase(a.c_str(), b.c_str()); }

std::string HidSerialNumber(DeviceStack& stack, const std::string& path) {
  FileHandle device(stack, stack.CreateFileA(path.c_str(), 0, kFileShareRead | kFileShareWrite, kOpenExisting, 0));
  char16_t units[kSerialUnits] = {};
  if (!device.Valid() || !stack.HidD_GetSerialNumberString(device.Get(), units, sizeof units - sizeof(char16_t)))
    return {};
  std::string serial;
  for (std::size_t i = 0; i < kSerialUnits && units[i] != 0; ++i)
    serial += units[i] < 0x80 ? static_cast<char>(units[i]) : '?';
  return serial;
}

// A HID interface whose report descriptor declares the controller's feature report: one
// that should answer, unlike a keyboard.
bool DeclaresControllerReport(DeviceStack& stack, const std::string& path) {
  FileHandle device(stack, stack.CreateFileA(path.c_str(), 0, kFileShareRead | kFileShareWrite, kOpenExisting, 0));
  OsHandle descriptor = kNullHandle;
  if (!device.Valid() || !stack.HidD_GetPreparsedData(device.Get(), &descriptor)) return false;
  PreparsedData preparsed(stack, descriptor);
  return stack.HidP_HasFeatureReportId(preparsed.Get(), 0xFF);
}

std::string InstanceId(DeviceStack& stack, OsHandle set, const DevInfoData& element) {
  std::uint32_t size = 0;
  stack.SetupDiGetDeviceInstanceIdA(set, element, nullptr, 0, &size);
  if (size == 0) return {};
  std::string id(size, '\0');
  if (!stack.SetupDiGetDeviceInstanceIdA(set, element, id.data(), size, nullptr)) return {};
  return id.substr(0, id.find('\0'));
}

std::string SerialFromInstanceId(const std::string& instanceId) {
  // USB\VID_xxxx&PID_xxxx\<serial>: the last part names the device.
  std::size_t slash = instanceId.rfind('\\');
  return instanceId.rfind("USB\\", 0) == 0 && slash != std::string::npos ? instanceId.substr(slash + 1) : "";
}

bool InterfaceMatchesSelector(DeviceStack& stack, const Guid& interfaceClass, const std::string& path,
                              const std::string& instanceId, const std::string& selector) {
  if (selector.empty()) return false;
  if (Same(path, selector) || Same(instanceId, selector)) return true;
  if (selector.rfind("usb:", 0) == 0) {
    std::string port = stack.UsbPortPath(path.c_str());
    return !port.empty() && Same(port, selector.substr(4));
  }
  if (Same(SerialFromInstanceId(instanceId), selector)) return true;
  return interfaceClass == stack.HidD_GetHidGuid() && Same(HidSerialNumber(stack, path), selector);
}

}  // namespace

std::vector<NamedInterface> ListNamedInterfaces(DeviceStack& stack, const Guid& interfaceClass) {
  std::vector<NamedInterface> listed;
  DeviceInfoSet set(stack, stack.SetupDiGetClassDevsA(interfaceClass, kDigcfDeviceInterface | kDigcfPresent));
  if (!set.Valid()) return listed;
  for (std::uint32_t index = 0; index < kLargestSet; ++index) {
    DeviceInterfaceData data;
    if (!stack.SetupDiEnumDeviceInterfaces(set.Get(), interfaceClass, index, data)) {
      if (stack.GetLastError() == kErrorNoMoreItems) break;
      continue;
    }
    char path[kDevicePathBufferSize] = {};
    DevInfoData element;
    if (!stack.SetupDiGetDeviceInterfaceDetailA(set.Get(), data, path, sizeof path, nullptr, &element)) continue;
    bool hid = interfaceClass == stack.HidD_GetHidGuid();
    std::string name = SerialFromInstanceId(InstanceId(stack, set.Get(), element));
    if (name.empty() && hid) name = HidSerialNumber(stack, path);
    if (name.empty()) name = stack.UsbPortPath(path);
    listed.push_back({path, name.empty() ? std::string(path) : name, !hid || DeclaresControllerReport(stack, path)});
  }
  return listed;
}

SelectedDeviceStack::Selection SelectedDeviceStack::Select(OsHandle set, const Guid& interfaceClass) {
  Selection selection;
  for (std::uint32_t index = 0; index < kLargestSet; ++index) {
    selection.end = index + 1;
    DeviceInterfaceData data;
    if (!all_.SetupDiEnumDeviceInterfaces(set, interfaceClass, index, data)) {
      if (all_.GetLastError() != kErrorNoMoreItems) continue;
      selection.end = index;
      break;
    }
    char path[kDevicePathBufferSize] = {};
    DevInfoData element;
    if (!all_.SetupDiGetDeviceInterfaceDetailA(set, data, path, sizeof path, nullptr, &element)) continue;
    if (InterfaceMatchesSelector(all_, interfaceClass, path, InstanceId(all_, set, element), selector_))
      selection.members.push_back(index);
  }
  return selection;
}

OsHandle SelectedDeviceStack::SetupDiGetClassDevsA(const Guid& interfaceClass, std::uint32_t flags) {
  OsHandle set = all_.SetupDiGetClassDevsA(interfaceClass, flags);
  if (!IsUsable(set)) return set;
  Selection selection = Select(set, interfaceClass);
  std::lock_guard lock(mutex_);
  selections_[set] = std::move(selection);
  return set;
}

bool SelectedDeviceStack::SetupDiEnumDeviceInterfaces(OsHandle set, const Guid& interfaceClass, std::uint32_t index,
                                                      DeviceInterfaceData& data) {
  std::uint32_t underlying = index;
  {
    std::lock_guard lock(mutex_);
    auto found = selections_.find(set);
    if (found != selections_.end())
      underlying = index < found->second.members.size() ? found->second.members[index] : found->second.end;
  }
  return all_.SetupDiEnumDeviceInterfaces(set, interfaceClass, underlying, data);
}

bool SelectedDeviceStack::SetupDiDestroyDeviceInfoList(OsHandle set) {
  {
    std::lock_guard lock(mutex_);
    selections_.erase(set);
  }
  return all_.SetupDiDestroyDeviceInfoList(set);
}

}  // namespace tessora

#include "app/device_inventory.h"

#include <cstdio>

#include "devlib/interface_guids.h"
#include "engine/hid_requests.h"
#include "hid/hid_context.h"
#include "platform/stack_handle.h"

namespace tessora {

namespace {

// Enumeration indexes that fail for another reason than the end of the set are skipped,
// as the device library does; past this many the set is taken as ended.
constexpr std::uint32_t kLargestSet = 4096;
constexpr std::size_t kSerialTextSize = 256;

std::optional<std::string> InstanceIdOf(DeviceStack& stack, OsHandle set, const DevInfoData& element) {
  std::uint32_t size = 0;
  stack.SetupDiGetDeviceInstanceIdA(set, element, nullptr, 0, &size);
  // 0: the call told nothing; 1: room for the terminator alone. Either way there is no ID.
  if (size <= 1) return std::nullopt;
  std::string id(size, '\0');
  if (!stack.SetupDiGetDeviceInstanceIdA(set, element, id.data(), size, nullptr)) return std::nullopt;
  return id.substr(0, id.find('\0'));
}

std::optional<std::u16string> HidString(DeviceStack& stack, OsHandle device,
                                        bool (DeviceStack::*query)(OsHandle, char16_t*, std::uint32_t)) {
  char16_t units[kHidProductTextSize] = {};
  if (!(stack.*query)(device, units, sizeof units)) return std::nullopt;
  std::u16string text;
  for (std::size_t i = 0; i < kHidProductTextSize && units[i] != 0; ++i) text += units[i];
  return text;
}

FileHandle OpenForQueries(DeviceStack& stack, const std::string& path) {
  return FileHandle(stack, stack.CreateFileA(path.c_str(), 0, kFileShareRead | kFileShareWrite, kOpenExisting, 0));
}

bool DeclaresControllerReport(DeviceStack& stack, const FileHandle& device) {
  OsHandle descriptor = kNullHandle;
  if (!stack.HidD_GetPreparsedData(device.Get(), &descriptor)) return false;
  PreparsedData preparsed(stack, descriptor);
  return stack.HidP_HasFeatureReportId(preparsed.Get(), kHidReportId);
}

// What HID.DLL tells about an interface opened for queries only.
void DescribeHid(DeviceStack& stack, DeviceInterfaceRecord& record) {
  FileHandle device = OpenForQueries(stack, record.path);
  if (!device.Valid()) return;
  HidAttributes attributes;
  if (stack.HidD_GetAttributes(device.Get(), attributes)) {
    record.vendorId = attributes.vendorId;
    record.productId = attributes.productId;
  }
  record.hidProduct = HidString(stack, device.Get(), &DeviceStack::HidD_GetProductString);
  record.hidSerial = HidString(stack, device.Get(), &DeviceStack::HidD_GetSerialNumberString);
  record.controller = DeclaresControllerReport(stack, device);
}

// A driver interface names its device only through the instance ID.
void DescribeDriverInterface(DeviceInterfaceRecord& record) {
  if (record.instanceId) {
    UsbInstanceParts parts = ParseUsbInstanceId(*record.instanceId);
    record.vendorId = parts.vendorId;
    record.productId = parts.productId;
  }
  record.controller = true;
}

}  // namespace

Guid InterfaceClassOf(DeviceStack& stack, InterfaceKind kind) {
  switch (kind) {
    case InterfaceKind::Hid:
      return stack.HidD_GetHidGuid();
    case InterfaceKind::FilterDriver:
      return FilterDriverInterfaceGuid;
    case InterfaceKind::WinUsb:
      break;
  }
  return WinUsbInterfaceGuid;
}

InterfaceKind KindOfClass(DeviceStack& stack, const Guid& interfaceClass) {
  if (interfaceClass == stack.HidD_GetHidGuid()) return InterfaceKind::Hid;
  return interfaceClass == FilterDriverInterfaceGuid ? InterfaceKind::FilterDriver : InterfaceKind::WinUsb;
}

UsbInstanceParts ParseUsbInstanceId(const std::string& instanceId) {
  unsigned vendorId = 0;
  unsigned productId = 0;
  char serial[kSerialTextSize] = {};
  // The fields are taken as far as they match: a composite device's function has no serial here.
  int fields = std::sscanf(instanceId.c_str(), "USB\\VID_%4x&PID_%4x\\%255s", &vendorId, &productId, serial);
  UsbInstanceParts parts;
  parts.vendorId = static_cast<std::uint16_t>(vendorId);
  parts.productId = static_cast<std::uint16_t>(productId);
  if (fields == 3) parts.serial = serial;
  return parts;
}

std::string InstanceIdSerial(const std::string& instanceId) {
  std::size_t slash = instanceId.rfind('\\');
  return instanceId.rfind("USB\\", 0) == 0 && slash != std::string::npos ? instanceId.substr(slash + 1) : "";
}

std::string AsciiText(const std::u16string& units) {
  std::string text;
  for (char16_t unit : units) text += unit < 0x80 ? static_cast<char>(unit) : '?';
  return text;
}

std::string DeviceName(const DeviceInterfaceRecord& record) {
  std::string name = InstanceIdSerial(record.instanceId.value_or(""));
  if (name.empty() && record.kind == InterfaceKind::Hid && record.hidSerial) name = AsciiText(*record.hidSerial);
  if (name.empty()) name = record.usbPort;
  return name.empty() ? record.path : name;
}

bool DeclaresControllerReport(DeviceStack& stack, const std::string& path) {
  FileHandle device = OpenForQueries(stack, path);
  return device.Valid() && DeclaresControllerReport(stack, device);
}

std::optional<std::string> InterfacePath(DeviceStack& stack, OsHandle set, const DeviceInterfaceData& data,
                                         DevInfoData* element) {
  char path[kHidPathSize] = {};
  if (!stack.SetupDiGetDeviceInterfaceDetailA(set, data, path, sizeof path, nullptr, element)) return std::nullopt;
  return std::string(path);
}

std::optional<DeviceInterfaceRecord> DescribeInterface(DeviceStack& stack, OsHandle set, InterfaceKind kind,
                                                       const DeviceInterfaceData& data) {
  DevInfoData element;
  std::optional<std::string> path = InterfacePath(stack, set, data, &element);
  if (!path) return std::nullopt;
  DeviceInterfaceRecord record;
  record.kind = kind;
  record.path = std::move(*path);
  record.instanceId = InstanceIdOf(stack, set, element);
  if (kind == InterfaceKind::Hid) DescribeHid(stack, record);
  else DescribeDriverInterface(record);
  record.usbProduct = stack.UsbProductString(record.path.c_str());
  record.usbPort = stack.UsbPortPath(record.path.c_str());
  return record;
}

std::vector<DeviceInterfaceRecord> TakeInventory(DeviceStack& stack, InterfaceKind kind) {
  std::vector<DeviceInterfaceRecord> records;
  Guid interfaceClass = InterfaceClassOf(stack, kind);
  DeviceInfoSet set(stack, stack.SetupDiGetClassDevsA(interfaceClass, kDigcfPresent | kDigcfDeviceInterface));
  if (!set.Valid()) return records;
  for (std::uint32_t index = 0; index < kLargestSet; ++index) {
    DeviceInterfaceData data;
    if (!stack.SetupDiEnumDeviceInterfaces(set.Get(), interfaceClass, index, data)) {
      if (stack.GetLastError() == kErrorNoMoreItems) break;
      continue;
    }
    if (std::optional<DeviceInterfaceRecord> record = DescribeInterface(stack, set.Get(), kind, data))
      records.push_back(std::move(*record));
  }
  return records;
}

}  // namespace tessora

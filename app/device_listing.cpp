#include "app/device_listing.h"

#include <cstdio>
#include <iterator>
#include <memory>

#include "devlib/interface_guids.h"
#include "hid/hid_context.h"
#include "hid/hid_text.h"
#include "platform/stack_handle.h"

namespace tessora {

namespace {

struct ListedInterface {
  const char* kind = "";
  std::string path;
  std::string instanceId;
  unsigned vendorId = 0;
  unsigned productId = 0;
  std::string product = "-";
  std::string serial = "-";
  std::string opens;
  bool candidate = false;
};

std::string InstanceId(DeviceStack& stack, OsHandle set, const DevInfoData& element) {
  std::uint32_t size = 0;
  stack.SetupDiGetDeviceInstanceIdA(set, element, nullptr, 0, &size);
  if (size == 0) return "-";
  std::string id(size, '\0');
  if (!stack.SetupDiGetDeviceInstanceIdA(set, element, id.data(), size, nullptr)) return "-";
  id.resize(id.find('\0') == std::string::npos ? id.size() : id.find('\0'));
  return id;
}

std::string OpenOutcome(DeviceStack& stack, const std::string& path, std::uint32_t flags) {
  FileHandle device(stack, stack.CreateFileA(path.c_str(), kGenericRead | kGenericWrite,
                                             kFileShareRead | kFileShareWrite, kOpenExisting, flags));
  if (device.Valid()) return "opens";
  std::uint32_t error = stack.GetLastError();
  return error == kErrorAccessDenied ? "no-access" : "open-fails(" + std::to_string(error) + ")";
}

std::string HidText(DeviceStack& stack, OsHandle device,
                    bool (DeviceStack::*query)(OsHandle, char16_t*, std::uint32_t)) {
  char16_t units[kHidProductTextSize] = {};
  char text[kHidProductTextSize] = {};
  if (!(stack.*query)(device, units, sizeof units)) return "-";
  NarrowLikeWcstombs(units, std::size(units), text, sizeof text);
  return text;
}

// What HID.DLL tells about an interface opened for queries only.
void DescribeHid(DeviceStack& stack, ListedInterface& entry) {
  FileHandle device(stack, stack.CreateFileA(entry.path.c_str(), 0, kFileShareRead | kFileShareWrite, kOpenExisting, 0));
  if (!device.Valid()) return;
  HidAttributes attributes;
  if (stack.HidD_GetAttributes(device.Get(), attributes)) {
    entry.vendorId = attributes.vendorId;
    entry.productId = attributes.productId;
  }
  entry.product = HidText(stack, device.Get(), &DeviceStack::HidD_GetProductString);
  entry.serial = HidText(stack, device.Get(), &DeviceStack::HidD_GetSerialNumberString);
  OsHandle descriptor = kNullHandle;
  if (!stack.HidD_GetPreparsedData(device.Get(), &descriptor)) return;
  PreparsedData preparsed(stack, descriptor);
  entry.candidate = stack.HidP_HasFeatureReportId(preparsed.Get(), 0xFF);
}

// A driver interface names its device only through the instance ID,
// USB\VID_xxxx&PID_xxxx\<serial>.
void DescribeDriverInterface(ListedInterface& entry) {
  char serial[256] = {};
  if (std::sscanf(entry.instanceId.c_str(), "USB\\VID_%4x&PID_%4x\\%255s", &entry.vendorId, &entry.productId,
                  serial) == 3)
    entry.serial = serial;
}

void ListClass(DeviceStack& stack, const Guid& interfaceClass, const char* kind, std::vector<std::string>& lines) {
  DeviceInfoSet set(stack, stack.SetupDiGetClassDevsA(interfaceClass, kDigcfPresent | kDigcfDeviceInterface));
  if (!set.Valid()) return;
  DeviceInterfaceData data;
  for (std::uint32_t index = 0; stack.SetupDiEnumDeviceInterfaces(set.Get(), interfaceClass, index, data); ++index) {
    char path[kHidPathSize] = {};
    DevInfoData element;
    if (!stack.SetupDiGetDeviceInterfaceDetailA(set.Get(), data, path, sizeof path, nullptr, &element)) continue;
    ListedInterface entry;
    entry.kind = kind;
    entry.path = path;
    entry.instanceId = InstanceId(stack, set.Get(), element);
    bool hid = interfaceClass == stack.HidD_GetHidGuid();
    if (hid) DescribeHid(stack, entry);
    else DescribeDriverInterface(entry);
    entry.opens = OpenOutcome(stack, entry.path, hid ? 0 : kFileFlagOverlapped);
    char line[2048];
    std::snprintf(line, sizeof line, "%-12s %s %04x:%04x \"%s\" %s %s %s%s", entry.kind, entry.path.c_str(),
                  entry.vendorId, entry.productId, entry.product.c_str(), entry.serial.c_str(),
                  entry.instanceId.c_str(), entry.opens.c_str(), entry.candidate ? " candidate" : "");
    lines.push_back(line);
  }
}

}  // namespace

std::vector<std::string> ListDeviceInterfaces(DeviceStack& stack) {
  std::vector<std::string> lines;
  ListClass(stack, stack.HidD_GetHidGuid(), "hid", lines);
  ListClass(stack, FilterDriverInterfaceGuid, "filterdriver", lines);
  ListClass(stack, WinUsbInterfaceGuid, "winusb", lines);
  return lines;
}

}  // namespace tessora

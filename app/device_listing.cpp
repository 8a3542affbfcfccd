#include "app/device_listing.h"

#include <cstdio>

#include "app/device_inventory.h"
#include "hid/hid_context.h"
#include "hid/hid_text.h"
#include "platform/stack_handle.h"

namespace tessora {

namespace {

const char* KindName(InterfaceKind kind) {
  switch (kind) {
    case InterfaceKind::Hid:
      return "hid";
    case InterfaceKind::FilterDriver:
      return "filterdriver";
    case InterfaceKind::WinUsb:
      break;
  }
  return "winusb";
}

std::string OpenOutcome(DeviceStack& stack, const std::string& path, std::uint32_t flags) {
  FileHandle device(stack, stack.CreateFileA(path.c_str(), kGenericRead | kGenericWrite,
                                             kFileShareRead | kFileShareWrite, kOpenExisting, flags));
  if (device.Valid()) return "opens";
  std::uint32_t error = stack.GetLastError();
  return error == kErrorAccessDenied ? "no-access" : "open-fails(" + std::to_string(error) + ")";
}

// A HID string as wcstombs would give it in the "C" locale; "-" when the device gave none.
std::string HidText(const std::optional<std::u16string>& units) {
  if (!units) return "-";
  char text[kHidProductTextSize] = {};
  NarrowLikeWcstombs(units->data(), units->size(), text, sizeof text);
  return text;
}

// A driver interface names its serial number only in its instance ID.
std::string SerialColumn(const DeviceInterfaceRecord& record) {
  if (record.kind == InterfaceKind::Hid) return HidText(record.hidSerial);
  return record.instanceId ? ParseUsbInstanceId(*record.instanceId).serial.value_or("-") : "-";
}

std::string ListingLine(DeviceStack& stack, const DeviceInterfaceRecord& record) {
  bool hid = record.kind == InterfaceKind::Hid;
  std::string product = hid ? HidText(record.hidProduct) : "-";
  std::string opens = OpenOutcome(stack, record.path, hid ? 0 : kFileFlagOverlapped);
  char line[2048];
  std::snprintf(line, sizeof line, "%-12s %s %04x:%04x \"%s\" %s %s %s%s", KindName(record.kind), record.path.c_str(),
                record.vendorId, record.productId, product.c_str(), SerialColumn(record).c_str(),
                record.instanceId.value_or("-").c_str(), opens.c_str(), hid && record.controller ? " candidate" : "");
  return line;
}

}  // namespace

std::vector<std::string> ListDeviceInterfaces(DeviceStack& stack) {
  std::vector<std::string> lines;
  for (InterfaceKind kind : {InterfaceKind::Hid, InterfaceKind::FilterDriver, InterfaceKind::WinUsb})
    for (const DeviceInterfaceRecord& record : TakeInventory(stack, kind)) lines.push_back(ListingLine(stack, record));
  return lines;
}

}  // namespace tessora

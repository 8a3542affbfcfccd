#include "app/device_listing.h"

#include <cstdio>

#include "app/device_inventory.h"
#include "app/run_result.h"
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

ListedInterface Describe(DeviceStack& stack, const DeviceInterfaceRecord& record) {
  bool hid = record.kind == InterfaceKind::Hid;
  ListedInterface listed;
  listed.interfaceName = KindName(record.kind);
  listed.path = record.path;
  listed.vendorId = record.vendorId;
  listed.productId = record.productId;
  listed.product = hid ? HidText(record.hidProduct) : "-";
  listed.serial = SerialColumn(record);
  listed.instanceId = record.instanceId.value_or("-");
  listed.port = record.usbPort;
  listed.access = OpenOutcome(stack, record.path, hid ? 0 : kFileFlagOverlapped);
  listed.candidate = hid && record.controller;
  return listed;
}

// "-" stands for nothing to tell in the lines; JSON says null.
std::string JsonText(const std::string& text) { return text.empty() || text == "-" ? "null" : JsonString(text); }

}  // namespace

std::vector<ListedInterface> ListDeviceInterfaces(DeviceStack& stack) {
  std::vector<ListedInterface> listing;
  for (InterfaceKind kind : {InterfaceKind::Hid, InterfaceKind::FilterDriver, InterfaceKind::WinUsb})
    for (const DeviceInterfaceRecord& record : TakeInventory(stack, kind)) listing.push_back(Describe(stack, record));
  return listing;
}

std::string ListingHeader() { return "INTERFACE    PATH VID:PID PRODUCT SERIAL INSTANCE-ID ACCESS [CANDIDATE]"; }

std::string ListingLine(const ListedInterface& listed) {
  char line[2048];
  std::snprintf(line, sizeof line, "%-12s %s %04x:%04x \"%s\" %s %s %s%s", listed.interfaceName.c_str(),
                listed.path.c_str(), listed.vendorId, listed.productId, listed.product.c_str(), listed.serial.c_str(),
                listed.instanceId.c_str(), listed.access.c_str(), listed.candidate ? " candidate" : "");
  return line;
}

std::string ListingJson(const std::vector<ListedInterface>& listing) {
  std::string json = "[";
  for (const ListedInterface& listed : listing) {
    char ids[64];
    std::snprintf(ids, sizeof ids, ",\"vendor_id\":\"%04x\",\"product_id\":\"%04x\"", listed.vendorId,
                  listed.productId);
    json += (json.size() > 1 ? ",{" : "{") + std::string("\"interface\":") + JsonString(listed.interfaceName) +
            ",\"path\":" + JsonString(listed.path) + ids + ",\"product\":" + JsonText(listed.product) +
            ",\"serial\":" + JsonText(listed.serial) + ",\"instance_id\":" + JsonText(listed.instanceId) +
            ",\"port\":" + JsonText(listed.port) + ",\"access\":" + JsonString(listed.access) +
            ",\"candidate\":" + (listed.candidate ? "true" : "false") + "}";
  }
  return json + "]";
}

}  // namespace tessora

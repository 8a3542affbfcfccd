// hidDeviceClass: device-interface arrival and removal, for owners that register for
// such notifications.
#include <cstring>

#include "hid/hid_device.h"
#include "hid/hid_text.h"
#include "platform/device_path.h"

namespace tessora {

namespace {

// The notice's path as a text the size of devicePath; false when it does not fit.
bool NoticePath(const DeviceInterfaceNotice& notice, char (&path)[kHidPathSize]) {
  if (notice.name.size() >= kHidPathSize) return false;
  std::memcpy(path, notice.name.data(), notice.name.size());
  path[notice.name.size()] = '\0';
  return true;
}

}  // namespace

bool hidDeviceClass::OnDeviceArrival(const DeviceInterfaceNotice& notice, std::uint16_t wantedVendorId,
                                     std::uint16_t wantedProductId, const char* wantedProductText) {
  char path[kHidPathSize];
  if (!NoticePath(notice, path)) return true;
  OpenPath(path);
  if (!isOpen) return true;
  if (wantedVendorId != vendorId || wantedProductId != productId ||
      std::strcmp(TextOrUnknown(wantedProductText), productText) != 0) {
    Close();
    return false;
  }
  return true;
}

bool hidDeviceClass::OnDeviceRemoval(const DeviceInterfaceNotice& notice) {
  char path[kHidPathSize];
  if (!NoticePath(notice, path) || !SamePathIgnoringCase(path, devicePath)) return false;
  OnDeviceRemoved();
  return true;
}

void hidDeviceClass::OnDeviceRemoved() { Close(); }

}  // namespace tessora

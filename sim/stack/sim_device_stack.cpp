#include "sim/stack/sim_device_stack.h"

#include <cctype>
#include <cstdio>

#include "platform/device_path.h"
#include "sim/board/name_hash.h"

namespace tessora::sim {

const Guid kFilterDriverGuid = {0xC3A59861, 0x025D, 0x11D3, {0x9D, 0x73, 0x00, 0x40, 0x30, 0x80, 0x4D, 0x56}};
const Guid kWinUsbGuid = {0x42CA71EC, 0xCE1C, 0x44C2, {0x82, 0xDE, 0x87, 0xD8, 0xD8, 0xFF, 0x6C, 0x1E}};

namespace {

std::string GuidText(const Guid& guid) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", guid.data1, guid.data2,
                guid.data3, guid.data4[0], guid.data4[1], guid.data4[2], guid.data4[3], guid.data4[4], guid.data4[5],
                guid.data4[6], guid.data4[7]);
  return text;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

// Windows names a USB device by its serial number; one without (or whose serial another
// device has already) by its parent hub and port, "6&<hub>&0&<port>".
std::string SimDeviceStack::UsbInstanceName(const BoardIdentity& identity, const std::string& ids) const {
  if (!identity.serial.empty() && usbInstances_.count("USB\\" + Upper(ids) + "\\" + Upper(identity.serial)) == 0)
    return Upper(identity.serial);
  std::size_t lastPort = identity.port.find_last_of("-.");
  char name[48];
  std::snprintf(name, sizeof name, "6&%08X&0&%s", static_cast<unsigned>(NameHash(identity.port)),
                lastPort == std::string::npos ? "0" : identity.port.substr(lastPort + 1).c_str());
  return name;
}

void SimDeviceStack::AttachBoard(SimBoard& board, const BoardIdentity& identity) {
  std::lock_guard lock(mutex_);
  char ids[32];
  std::snprintf(ids, sizeof ids, "vid_%04x&pid_%04x", identity.vendorId, identity.productId);
  std::string instanceName = UsbInstanceName(identity, ids);
  std::string usbInstance = "USB\\" + Upper(ids) + "\\" + instanceName;
  usbInstances_.insert(usbInstance);
  std::string usbPath = "\\\\?\\usb#" + std::string(ids) + "#" + Lower(instanceName) + "#";
  // The HID collection's own instance, which Windows makes up under the USB device.
  char collection[16];
  std::snprintf(collection, sizeof collection, "%08x", static_cast<unsigned>(NameHash(usbInstance)));

  if (board.Config().hid) {
    hidFaces_.push_back(std::make_unique<HidFace>(board));
    SimInterface hid;
    hid.kind = InterfaceKind::Hid;
    hid.interfaceClass = kHidInterfaceGuid;
    hid.path = "\\\\?\\hid#" + std::string(ids) + "#7&" + collection + "&0&0000#" + GuidText(kHidInterfaceGuid);
    hid.instanceId = "HID\\" + Upper(ids) + "\\7&" + Upper(collection) + "&0&0000";
    hid.board = &board;
    hid.hidFace = hidFaces_.back().get();
    hid.attributes = HidAttributes{identity.vendorId, identity.productId, 0x0100};
    hid.product = identity.product;
    hid.serialNumber = std::u16string(identity.serial.begin(), identity.serial.end());
    hid.usbSerial = identity.serial;
    hid.usbPort = identity.port;
    hid.caps.usagePage = 0xFF00;
    hid.caps.usage = 0x01;
    hid.caps.featureReportByteLength = board.Config().featureReportLength;
    hid.caps.inputReportByteLength = board.Config().inputReportLength;
    hid.caps.outputReportByteLength = board.Config().outputReportLength;
    AddInterface(std::move(hid));
  }
  auto addUsbInterface = [&](InterfaceKind kind, const Guid& interfaceClass) {
    SimInterface usb;
    usb.kind = kind;
    usb.interfaceClass = interfaceClass;
    usb.path = usbPath + GuidText(interfaceClass);
    usb.instanceId = usbInstance;
    usb.board = &board;
    usb.usbSerial = identity.serial;
    usb.usbPort = identity.port;
    AddInterface(std::move(usb));
  };
  if (board.Config().filterDriver) addUsbInterface(InterfaceKind::FilterDriver, kFilterDriverGuid);
  if (board.Config().winUsb) addUsbInterface(InterfaceKind::WinUsb, kWinUsbGuid);
}

std::size_t SimDeviceStack::AddInterface(SimInterface interface) {
  std::lock_guard lock(mutex_);
  interfaces_.push_back(std::move(interface));
  return interfaces_.size() - 1;
}

std::size_t SimDeviceStack::OpenHandleCount() const {
  std::lock_guard lock(mutex_);
  return SetAndFileCount() + preparsed_.Count() + winUsb_.Count();
}

const SimInterface* SimDeviceStack::InterfaceAt(const char* path) const {
  if (path == nullptr) return nullptr;
  for (const SimInterface& interface : interfaces_)
    if (SamePathIgnoringCase(interface.path.c_str(), path)) return &interface;
  return nullptr;
}

std::string SimDeviceStack::UsbPortPath(const char* devicePath) {
  std::lock_guard lock(mutex_);
  const SimInterface* interface = InterfaceAt(devicePath);
  return interface != nullptr ? interface->usbPort : std::string();
}

std::string SimDeviceStack::UsbSerialNumber(const char* devicePath) {
  std::lock_guard lock(mutex_);
  const SimInterface* interface = InterfaceAt(devicePath);
  return interface != nullptr ? interface->usbSerial : std::string();
}

bool SimDeviceStack::InterfaceIsPresent(const SimInterface& interface) const {
  return interface.present && (interface.board == nullptr || interface.board->Present());
}

SimInterface* SimDeviceStack::ConnectedInterface(OsHandle device) {
  SimFile* file = FindSimFile(device);
  if (file == nullptr) return nullptr;
  SimInterface& interface = interfaces_[file->interfaceIndex];
  if (!InterfaceIsPresent(interface)) return Fail(kErrorDeviceNotConnected), nullptr;
  return &interface;
}

// --- what enumeration lists and what opens ---

SimDeviceStack::ListedInterface SimDeviceStack::Listing(const SimInterface& interface) const {
  return ListedInterface{interface.interfaceClass, interface.path, interface.instanceId, InterfaceIsPresent(interface),
                         interface.pathFails ? kErrorGenFailure : kErrorSuccess};
}

std::vector<SimDeviceStack::ListedInterface> SimDeviceStack::ListInterfaces(const Guid& interfaceClass,
                                                                            bool presentOnly) {
  std::lock_guard lock(mutex_);
  std::vector<ListedInterface> listed;
  for (const SimInterface& interface : interfaces_) {
    if (!(interface.interfaceClass == interfaceClass)) continue;
    if (presentOnly && !InterfaceIsPresent(interface)) continue;
    listed.push_back(Listing(interface));
  }
  return listed;
}

std::optional<SimDeviceStack::ListedInterface> SimDeviceStack::LookUpInterface(const char* path) {
  std::lock_guard lock(mutex_);
  const SimInterface* interface = InterfaceAt(path);
  if (interface == nullptr) return std::nullopt;
  return Listing(*interface);
}

std::unique_ptr<SimDeviceStack::OpenFile> SimDeviceStack::OpenInterface(const char* path, std::uint32_t access,
                                                                        std::uint32_t /*flags*/) {
  std::lock_guard lock(mutex_);
  for (std::size_t i = 0; i < interfaces_.size(); ++i) {
    const SimInterface& interface = interfaces_[i];
    if (!SamePathIgnoringCase(interface.path.c_str(), path)) continue;
    if (!InterfaceIsPresent(interface)) break;
    if (interface.refusesOpen || (interface.refusesReadWrite && (access & (kGenericRead | kGenericWrite)) != 0))
      return Fail(kErrorAccessDenied), nullptr;
    if (interface.kind != InterfaceKind::Hid && interface.board != nullptr && interface.board->Config().openFails)
      return Fail(kErrorGenFailure), nullptr;
    return std::make_unique<SimFile>(i);
  }
  return Fail(kErrorFileNotFound), nullptr;
}

}  // namespace tessora::sim

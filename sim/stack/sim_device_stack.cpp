#include "sim/stack/sim_device_stack.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/device_path.h"
#include "sim/board/name_hash.h"

namespace tessora::sim {

const Guid kHidInterfaceGuid = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
const Guid kFilterDriverGuid = {0xC3A59861, 0x025D, 0x11D3, {0x9D, 0x73, 0x00, 0x40, 0x30, 0x80, 0x4D, 0x56}};
const Guid kWinUsbGuid = {0x42CA71EC, 0xCE1C, 0x44C2, {0x82, 0xDE, 0x87, 0xD8, 0xD8, 0xFF, 0x6C, 0x1E}};

namespace {

thread_local std::uint32_t lastError = kErrorSuccess;

constexpr std::uint32_t kErrorNoSuchDeviceInterface = 0xE000020B;

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
  return handles_.size();
}

std::uint32_t SimDeviceStack::GetLastError() { return lastError; }

bool SimDeviceStack::Fail(std::uint32_t error) {
  lastError = error;
  return false;
}

OsHandle SimDeviceStack::NewHandle(HandleEntry entry) {
  OsHandle handle = nextHandle_;
  nextHandle_ += 4;
  handles_.emplace(handle, std::move(entry));
  return handle;
}

SimDeviceStack::HandleEntry* SimDeviceStack::Find(OsHandle handle, HandleKind kind) {
  auto found = handles_.find(handle);
  if (found == handles_.end() || found->second.kind != kind) {
    lastError = kErrorInvalidHandle;
    return nullptr;
  }
  return &found->second;
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
  HandleEntry* entry = Find(device, HandleKind::File);
  if (entry == nullptr) return nullptr;
  SimInterface& interface = interfaces_[entry->interfaceIndex];
  if (!InterfaceIsPresent(interface)) {
    lastError = kErrorDeviceNotConnected;
    return nullptr;
  }
  return &interface;
}

// --- enumeration ---

OsHandle SimDeviceStack::SetupDiGetClassDevsA(const Guid& interfaceClass, std::uint32_t flags) {
  std::lock_guard lock(mutex_);
  if ((flags & kDigcfDeviceInterface) == 0) {
    lastError = kErrorInvalidParameter;
    return kInvalidHandle;
  }
  HandleEntry set{HandleKind::InfoSet, {}, 0, 0};
  for (std::size_t i = 0; i < interfaces_.size(); ++i) {
    const SimInterface& interface = interfaces_[i];
    if (!(interface.interfaceClass == interfaceClass)) continue;
    if ((flags & kDigcfPresent) != 0 && !InterfaceIsPresent(interface)) continue;
    set.members.push_back(i);
  }
  return NewHandle(std::move(set));
}

bool SimDeviceStack::SetupDiEnumDeviceInterfaces(OsHandle set, const Guid& interfaceClass, std::uint32_t index,
                                                 DeviceInterfaceData& data) {
  std::lock_guard lock(mutex_);
  HandleEntry* entry = Find(set, HandleKind::InfoSet);
  if (entry == nullptr) return false;
  std::uint32_t seen = 0;
  for (std::size_t member : entry->members) {
    if (!(interfaces_[member].interfaceClass == interfaceClass)) continue;
    if (seen++ != index) continue;
    data.interfaceClassGuid = interfaceClass;
    data.flags = InterfaceIsPresent(interfaces_[member]) ? 1u : 0u;
    data.reserved = member + 1;
    return true;
  }
  return Fail(kErrorNoMoreItems);
}

bool SimDeviceStack::SetupDiGetDeviceInterfaceDetailA(OsHandle set, const DeviceInterfaceData& data, char* path,
                                                      std::uint32_t pathSize, std::uint32_t* requiredSize,
                                                      DevInfoData* device) {
  std::lock_guard lock(mutex_);
  if (Find(set, HandleKind::InfoSet) == nullptr) return false;
  if (data.reserved == 0 || data.reserved > interfaces_.size()) return Fail(kErrorInvalidParameter);
  const SimInterface& interface = interfaces_[data.reserved - 1];
  std::uint32_t needed = static_cast<std::uint32_t>(interface.path.size() + 1);
  if (requiredSize != nullptr) *requiredSize = needed;
  if (device != nullptr) {
    device->classGuid = interface.interfaceClass;
    device->devInst = static_cast<std::uint32_t>(data.reserved);
    device->reserved = data.reserved;
  }
  if (path == nullptr || pathSize < needed) return Fail(kErrorInsufficientBuffer);
  if (interface.pathFails) return Fail(kErrorGenFailure);
  std::memcpy(path, interface.path.c_str(), needed);
  return true;
}

bool SimDeviceStack::SetupDiGetDeviceInstanceIdA(OsHandle set, const DevInfoData& device, char* buffer,
                                                 std::uint32_t bufferSize, std::uint32_t* requiredSize) {
  std::lock_guard lock(mutex_);
  if (Find(set, HandleKind::InfoSet) == nullptr) return false;
  if (device.reserved == 0 || device.reserved > interfaces_.size()) return Fail(kErrorInvalidParameter);
  const std::string& id = interfaces_[device.reserved - 1].instanceId;
  std::uint32_t needed = static_cast<std::uint32_t>(id.size() + 1);
  if (requiredSize != nullptr) *requiredSize = id.empty() ? 0 : needed;
  if (buffer == nullptr || bufferSize < needed) return Fail(kErrorInsufficientBuffer);
  std::memcpy(buffer, id.c_str(), needed);
  return true;
}

OsHandle SimDeviceStack::SetupDiCreateDeviceInfoList() {
  std::lock_guard lock(mutex_);
  return NewHandle(HandleEntry{HandleKind::InfoSet, {}, 0, 0});
}

bool SimDeviceStack::SetupDiOpenDeviceInterfaceA(OsHandle set, const char* path, std::uint32_t /*openFlags*/,
                                                 DeviceInterfaceData* data) {
  std::lock_guard lock(mutex_);
  HandleEntry* entry = Find(set, HandleKind::InfoSet);
  if (entry == nullptr) return false;
  if (path == nullptr) return Fail(kErrorInvalidParameter);
  for (std::size_t i = 0; i < interfaces_.size(); ++i) {
    if (!SamePathIgnoringCase(interfaces_[i].path.c_str(), path)) continue;
    entry->members.push_back(i);
    if (data != nullptr) {
      data->interfaceClassGuid = interfaces_[i].interfaceClass;
      data->flags = InterfaceIsPresent(interfaces_[i]) ? 1u : 0u;
      data->reserved = i + 1;
    }
    return true;
  }
  return Fail(kErrorNoSuchDeviceInterface);
}

bool SimDeviceStack::SetupDiDestroyDeviceInfoList(OsHandle set) {
  std::lock_guard lock(mutex_);
  if (Find(set, HandleKind::InfoSet) == nullptr) return false;
  handles_.erase(set);
  return true;
}

// --- handles ---

OsHandle SimDeviceStack::CreateFileA(const char* path, std::uint32_t access, std::uint32_t /*shareMode*/,
                                     std::uint32_t creation, std::uint32_t flags) {
  std::lock_guard lock(mutex_);
  if (path == nullptr || creation != kOpenExisting) {
    lastError = kErrorInvalidParameter;
    return kInvalidHandle;
  }
  for (std::size_t i = 0; i < interfaces_.size(); ++i) {
    const SimInterface& interface = interfaces_[i];
    if (!SamePathIgnoringCase(interface.path.c_str(), path)) continue;
    if (!InterfaceIsPresent(interface)) break;
    if (interface.refusesOpen || (interface.refusesReadWrite && (access & (kGenericRead | kGenericWrite)) != 0)) {
      lastError = kErrorAccessDenied;
      return kInvalidHandle;
    }
    if (interface.kind != InterfaceKind::Hid && interface.board != nullptr && interface.board->Config().openFails) {
      lastError = kErrorGenFailure;
      return kInvalidHandle;
    }
    return NewHandle(HandleEntry{HandleKind::File, {}, i, access, flags});
  }
  lastError = kErrorFileNotFound;
  return kInvalidHandle;
}

bool SimDeviceStack::CloseHandle(OsHandle handle) {
  std::lock_guard lock(mutex_);
  auto found = handles_.find(handle);
  if (found == handles_.end() || found->second.kind != HandleKind::File) return Fail(kErrorInvalidHandle);
  AbortOverlappedRead(handle);
  handles_.erase(found);
  return true;
}

}  // namespace tessora::sim

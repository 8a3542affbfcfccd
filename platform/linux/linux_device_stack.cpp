// Enumeration and handles of the Linux device stack.
#include "platform/linux/linux_device_stack.h"

#include <fcntl.h>
#include <libusb.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/device_path.h"
#include "platform/linux/linux_errors.h"
#include "platform/native_device_stack.h"

namespace tessora::linuxstack {

const Guid kHidInterfaceGuid = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

namespace {

thread_local std::uint32_t lastError = kErrorSuccess;

constexpr std::uint32_t kErrorNoSuchDeviceInterface = 0xE000020B;
constexpr std::uint32_t kInterfaceActive = 1;  // SPINT_ACTIVE

int OpenWithOpen(const char* path, int flags) { return ::open(path, flags); }

bool Declares(const std::vector<DeclaredInterfaceClass>& declared, const Guid& interfaceClass) {
  for (const DeclaredInterfaceClass& entry : declared)
    if (entry.interfaceClass == interfaceClass) return true;
  return false;
}

}  // namespace

std::bitset<256> DeclaredFeatureReports(const LinuxNode& node) {
  if (node.kind != NodeKind::Hidraw) return {};
  HidReportLayout layout = ParseHidReportDescriptor(node.descriptors);
  return layout.valid ? layout.featureReportIds : std::bitset<256>{};
}

LinuxDeviceStack::LinuxDeviceStack(OsServices& events, NodeOpener opener)
    : events_(events), opener_(opener ? std::move(opener) : NodeOpener(OpenWithOpen)) {}

LinuxDeviceStack::~LinuxDeviceStack() {
  while (!winUsb_.empty()) WinUsb_Free(winUsb_.begin()->first);
  while (!files_.empty()) CloseHandle(files_.begin()->first);
  if (usb_ != nullptr) libusb_exit(usb_);
}

std::uint32_t LinuxDeviceStack::GetLastError() { return lastError; }

bool LinuxDeviceStack::Fail(std::uint32_t error) {
  lastError = error;
  return false;
}

OsHandle LinuxDeviceStack::NewHandle() {
  OsHandle handle = nextHandle_;
  nextHandle_ += 4;
  return handle;
}

std::vector<RefusedNode> LinuxDeviceStack::RefusedNodes() const {
  std::lock_guard lock(mutex_);
  std::vector<RefusedNode> nodes;
  for (const auto& [path, node] : refused_) nodes.push_back(node);
  return nodes;
}

// A USB device that cannot declare an interface class is never an interface of this stack.
void LinuxDeviceStack::NoteRefusal(const LinuxNode& node, std::uint32_t error) {
  if (node.kind == NodeKind::UsbDevice && !MayDeclareInterfaceClasses(node)) return;
  RefusedNode& refused = refused_[node.path];
  refused.path = node.path;
  refused.interfaceClass = node.kind == NodeKind::Hidraw ? kHidInterfaceGuid : node.interfaceClass;
  refused.vendorId = node.vendorId;
  refused.productId = node.productId;
  refused.product = node.hasProduct ? node.product : "";
  refused.error = error;
}

int LinuxDeviceStack::OpenNodeDescriptor(const LinuxNode& node, int flags) {
  int descriptor = opener_(node.path.c_str(), flags | O_CLOEXEC);
  if (descriptor >= 0) return descriptor;
  lastError = LastErrorFromErrno(errno);
  NoteRefusal(node, lastError);
  return -1;
}

// --- enumeration ---

// On Linux a device that has gone has neither a node nor a udev entry, so a listing of
// "all" devices (without DIGCF_PRESENT) holds the present ones only; the device library
// keeps the records of devices it saw earlier by itself.
std::vector<LinuxNode> LinuxDeviceStack::ListInterfaces(const Guid& interfaceClass) {
  std::vector<LinuxNode> nodes;
  if (interfaceClass == kHidInterfaceGuid) {
    nodes = udev_.HidrawNodes();
  } else {
    for (LinuxNode& node : udev_.UsbDevices())
      if (MayDeclareInterfaceClasses(node) && Declares(ProbeInterfaceClasses(node).declared, interfaceClass))
        nodes.push_back(std::move(node));
  }
  std::lock_guard lock(mutex_);
  for (LinuxNode& node : nodes) {
    node.interfaceClass = interfaceClass;
    knownNodes_[node.path] = node;
  }
  return nodes;
}

std::optional<LinuxNode> LinuxDeviceStack::FindNode(const std::string& path) {
  {
    std::lock_guard lock(mutex_);
    auto known = knownNodes_.find(path);
    if (known != knownNodes_.end()) return known->second;
  }
  std::vector<LinuxNode> all = udev_.HidrawNodes();
  std::vector<LinuxNode> usb = udev_.UsbDevices();
  all.insert(all.end(), usb.begin(), usb.end());
  for (LinuxNode& node : all)
    if (SamePathIgnoringCase(node.path.c_str(), path.c_str())) return node;
  return std::nullopt;
}

OsHandle LinuxDeviceStack::SetupDiGetClassDevsA(const Guid& interfaceClass, std::uint32_t flags) {
  if ((flags & kDigcfDeviceInterface) == 0) {
    lastError = kErrorInvalidParameter;
    return kInvalidHandle;
  }
  std::vector<LinuxNode> nodes = ListInterfaces(interfaceClass);
  std::lock_guard lock(mutex_);
  OsHandle set = NewHandle();
  sets_[set] = std::move(nodes);
  return set;
}

bool LinuxDeviceStack::SetupDiEnumDeviceInterfaces(OsHandle set, const Guid& interfaceClass, std::uint32_t index,
                                                   DeviceInterfaceData& data) {
  std::lock_guard lock(mutex_);
  auto found = sets_.find(set);
  if (found == sets_.end()) return Fail(kErrorInvalidHandle);
  if (index >= found->second.size()) return Fail(kErrorNoMoreItems);
  data.interfaceClassGuid = interfaceClass;
  data.flags = kInterfaceActive;
  data.reserved = index + 1;
  return true;
}

const LinuxNode* LinuxDeviceStack::SetMember(OsHandle set, std::uintptr_t reserved) {
  auto found = sets_.find(set);
  if (found == sets_.end()) return Fail(kErrorInvalidHandle), nullptr;
  if (reserved == 0 || reserved > found->second.size()) return Fail(kErrorInvalidParameter), nullptr;
  return &found->second[reserved - 1];
}

// The text and its terminator, with the size it needs told whether or not it fits.
bool LinuxDeviceStack::CopyWithTerminator(const std::string& text, char* buffer, std::uint32_t bufferSize,
                                          std::uint32_t* requiredSize) {
  std::uint32_t needed = static_cast<std::uint32_t>(text.size() + 1);
  if (requiredSize != nullptr) *requiredSize = needed;
  if (buffer == nullptr || bufferSize < needed) return Fail(kErrorInsufficientBuffer);
  std::memcpy(buffer, text.c_str(), needed);
  return true;
}

bool LinuxDeviceStack::SetupDiGetDeviceInterfaceDetailA(OsHandle set, const DeviceInterfaceData& data, char* path,
                                                        std::uint32_t pathSize, std::uint32_t* requiredSize,
                                                        DevInfoData* device) {
  std::lock_guard lock(mutex_);
  const LinuxNode* node = SetMember(set, data.reserved);
  if (node == nullptr) return false;
  if (device != nullptr) {
    device->classGuid = data.interfaceClassGuid;
    device->devInst = static_cast<std::uint32_t>(data.reserved);
    device->reserved = data.reserved;
  }
  return CopyWithTerminator(node->path, path, pathSize, requiredSize);
}

bool LinuxDeviceStack::SetupDiGetDeviceInstanceIdA(OsHandle set, const DevInfoData& device, char* buffer,
                                                   std::uint32_t bufferSize, std::uint32_t* requiredSize) {
  std::lock_guard lock(mutex_);
  const LinuxNode* node = SetMember(set, device.reserved);
  return node != nullptr && CopyWithTerminator(node->instanceId, buffer, bufferSize, requiredSize);
}

OsHandle LinuxDeviceStack::SetupDiCreateDeviceInfoList() {
  std::lock_guard lock(mutex_);
  OsHandle set = NewHandle();
  sets_[set] = {};
  return set;
}

bool LinuxDeviceStack::SetupDiOpenDeviceInterfaceA(OsHandle set, const char* path, std::uint32_t /*openFlags*/,
                                                   DeviceInterfaceData* data) {
  if (path == nullptr) return Fail(kErrorInvalidParameter);
  std::optional<LinuxNode> node = FindNode(path);
  std::lock_guard lock(mutex_);
  auto found = sets_.find(set);
  if (found == sets_.end()) return Fail(kErrorInvalidHandle);
  if (!node) return Fail(kErrorNoSuchDeviceInterface);
  found->second.push_back(std::move(*node));
  if (data != nullptr) {
    const LinuxNode& opened = found->second.back();
    data->interfaceClassGuid = opened.kind == NodeKind::Hidraw ? kHidInterfaceGuid : opened.interfaceClass;
    data->flags = kInterfaceActive;
    data->reserved = found->second.size();
  }
  return true;
}

bool LinuxDeviceStack::SetupDiDestroyDeviceInfoList(OsHandle set) {
  std::lock_guard lock(mutex_);
  return sets_.erase(set) == 1 ? true : Fail(kErrorInvalidHandle);
}

// --- handles ---

OsHandle LinuxDeviceStack::CreateFileA(const char* path, std::uint32_t access, std::uint32_t /*shareMode*/,
                                       std::uint32_t creation, std::uint32_t flags) {
  if (path == nullptr || creation != kOpenExisting) {
    lastError = kErrorInvalidParameter;
    return kInvalidHandle;
  }
  std::optional<LinuxNode> node = FindNode(path);
  if (!node) {
    lastError = kErrorFileNotFound;
    return kInvalidHandle;
  }
  auto file = std::make_unique<OpenNode>();
  file->flags = flags;
  // Access 0 asks for queries only, which Windows grants for any device; here they are
  // answered from udev and sysfs without opening the node.
  bool queriesOnly = node->kind == NodeKind::Hidraw && (access & (kGenericRead | kGenericWrite)) == 0;
  std::lock_guard lock(mutex_);
  if (!queriesOnly) {
    file->descriptor = OpenNodeDescriptor(*node, O_RDWR | ((flags & kFileFlagOverlapped) != 0 ? O_NONBLOCK : 0));
    if (file->descriptor < 0) return kInvalidHandle;
  }
  file->featureReports = DeclaredFeatureReports(*node);
  file->node = std::move(*node);
  OsHandle handle = NewHandle();
  files_[handle] = std::move(file);
  return handle;
}

bool LinuxDeviceStack::CloseHandle(OsHandle handle) {
  std::unique_ptr<OpenNode> file;
  {
    std::lock_guard lock(mutex_);
    auto found = files_.find(handle);
    if (found == files_.end()) return Fail(kErrorInvalidHandle);
    file = std::move(found->second);
    files_.erase(found);
  }
  // Closing a handle ends its pending read, as Windows does.
  EndPendingRead(*file);
  if (file->wake >= 0) ::close(file->wake);
  if (file->descriptor >= 0) ::close(file->descriptor);
  return true;
}

LinuxDeviceStack::OpenNode* LinuxDeviceStack::FindFile(OsHandle handle) {
  auto found = files_.find(handle);
  if (found == files_.end()) return Fail(kErrorInvalidHandle), nullptr;
  return found->second.get();
}

bool LinuxDeviceStack::DeviceIoControl(OsHandle device, std::uint32_t /*code*/, const void* /*in*/,
                                       std::uint32_t /*inSize*/, void* /*out*/, std::uint32_t /*outSize*/,
                                       std::uint32_t* bytesReturned) {
  // No node here belongs to the filter driver, which exists only on Windows.
  if (bytesReturned != nullptr) *bytesReturned = 0;
  std::lock_guard lock(mutex_);
  if (FindFile(device) == nullptr) return false;
  return Fail(kErrorInvalidFunction);
}

std::string LinuxDeviceStack::UsbPortPath(const char* devicePath) {
  std::optional<LinuxNode> node = FindNode(devicePath);
  return node ? node->portPath : std::string();
}

std::string LinuxDeviceStack::UsbSerialNumber(const char* devicePath) {
  std::optional<LinuxNode> node = FindNode(devicePath);
  return node && node->hasSerial ? node->serial : std::string();
}

std::string LinuxDeviceStack::UsbProductString(const char* devicePath) {
  std::optional<LinuxNode> node = FindNode(devicePath);
  return node && node->hasProduct ? node->product : std::string();
}

}  // namespace tessora::linuxstack

namespace tessora {

std::unique_ptr<DeviceStack> CreateNativeDeviceStack(OsServices& os) {
  return std::make_unique<linuxstack::LinuxDeviceStack>(os);
}

}  // namespace tessora

// The interfaces the Linux device stack lists and opens: udev's hidraw nodes, and the USB
// devices whose descriptors declare interface classes.
#include "platform/linux/linux_device_stack.h"

#include <fcntl.h>
#include <libusb.h>
#include <unistd.h>

#include <cerrno>

#include "platform/device_path.h"
#include "platform/linux/linux_errors.h"
#include "platform/linux/udev_device_watch.h"
#include "platform/native_device_stack.h"

namespace tessora::linuxstack {

namespace {

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
    : EmulatedDeviceStack(&events), opener_(opener ? std::move(opener) : NodeOpener(OpenWithOpen)) {}

LinuxDeviceStack::~LinuxDeviceStack() {
  while (!winUsb_.Empty()) WinUsb_Free(winUsb_.begin()->first);
  CloseEveryFile();
  if (usb_ != nullptr) libusb_exit(usb_);
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
  std::uint32_t error = LastErrorFromErrno(errno);
  NoteRefusal(node, error);
  return Fail(error), -1;
}

// --- enumeration ---

// On Linux a device that has gone has neither a node nor a udev entry, so a listing of
// "all" devices (without DIGCF_PRESENT) holds the present ones only; the device library
// keeps the records of devices it saw earlier by itself.
std::vector<LinuxNode> LinuxDeviceStack::ListNodes(const Guid& interfaceClass) {
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

// A node as enumeration lists it: under the class it was listed under, a hidraw node under HID.
EmulatedDeviceStack::ListedInterface LinuxDeviceStack::Listing(const LinuxNode& node) {
  return {node.kind == NodeKind::Hidraw ? kHidInterfaceGuid : node.interfaceClass, node.path, node.instanceId};
}

std::vector<EmulatedDeviceStack::ListedInterface> LinuxDeviceStack::ListInterfaces(const Guid& interfaceClass,
                                                                                   bool /*presentOnly*/) {
  std::vector<ListedInterface> listed;
  for (const LinuxNode& node : ListNodes(interfaceClass)) listed.push_back(Listing(node));
  return listed;
}

std::optional<EmulatedDeviceStack::ListedInterface> LinuxDeviceStack::LookUpInterface(const char* path) {
  std::optional<LinuxNode> node = FindNode(path);
  if (!node) return std::nullopt;
  return Listing(*node);
}

std::unique_ptr<EmulatedDeviceStack::OpenFile> LinuxDeviceStack::OpenInterface(const char* path,
                                                                               std::uint32_t access,
                                                                               std::uint32_t flags) {
  std::optional<LinuxNode> node = FindNode(path);
  if (!node) return Fail(kErrorFileNotFound), nullptr;
  auto file = std::make_unique<OpenNode>();
  // Access 0 asks for queries only, which Windows grants for any device; here they are
  // answered from udev and sysfs without opening the node.
  bool queriesOnly = node->kind == NodeKind::Hidraw && (access & (kGenericRead | kGenericWrite)) == 0;
  std::lock_guard lock(mutex_);
  if (!queriesOnly) {
    file->descriptor =
        UniqueDescriptor(OpenNodeDescriptor(*node, O_RDWR | ((flags & kFileFlagOverlapped) != 0 ? O_NONBLOCK : 0)));
    if (!file->descriptor.Valid()) return nullptr;
  }
  file->featureReports = DeclaredFeatureReports(*node);
  file->node = std::move(*node);
  return file;
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

std::unique_ptr<DeviceWatch> LinuxDeviceStack::WatchDevices() { return WatchUdevDevices(); }

}  // namespace tessora::linuxstack

namespace tessora {

std::unique_ptr<DeviceStack> CreateNativeDeviceStack(OsServices& os) {
  return std::make_unique<linuxstack::LinuxDeviceStack>(os);
}

}  // namespace tessora

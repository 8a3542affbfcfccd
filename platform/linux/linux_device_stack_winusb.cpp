// The WinUSB calls of the Linux device stack, over libusb, and the look at a device's
// Microsoft OS 2.0 descriptors that tells the interface classes Windows would register.
#include <fcntl.h>
#include <libusb.h>
#include <unistd.h>

#include <memory>

#include "platform/linux/linux_device_stack.h"
#include "platform/linux/linux_errors.h"
#include "platform/linux/ms_os_descriptor.h"
#include "platform/linux/ms_os_request.h"

namespace tessora::linuxstack {

namespace {

constexpr unsigned kTransferTimeoutMs = 5000;  // WinUSB's default pipe time-out

struct HandleClose {
  void operator()(libusb_device_handle* handle) const { libusb_close(handle); }
};
using UsbHandle = std::unique_ptr<libusb_device_handle, HandleClose>;

// The interface that declares the class the node was listed under; for a node never
// listed, the first that declares one.
std::optional<std::uint8_t> InterfaceOfClass(const std::vector<DeclaredInterfaceClass>& declared,
                                             const Guid& interfaceClass) {
  for (const DeclaredInterfaceClass& entry : declared)
    if (entry.interfaceClass == interfaceClass) return entry.interfaceNumber;
  if (declared.empty()) return std::nullopt;
  return declared.front().interfaceNumber;
}

}  // namespace

libusb_context* LinuxDeviceStack::Usb() {
  if (usb_ == nullptr && libusb_init(&usb_) != 0) usb_ = nullptr;
  return usb_;
}

libusb_device_handle* LinuxDeviceStack::OpenUsbDevice(const LinuxNode& node, std::uint32_t& error) {
  error = kErrorFileNotFound;
  libusb_context* usb = Usb();
  if (usb == nullptr) return error = kErrorGenFailure, nullptr;
  libusb_device** list = nullptr;
  ssize_t count = libusb_get_device_list(usb, &list);
  libusb_device_handle* handle = nullptr;
  for (ssize_t i = 0; i < count; ++i) {
    if (libusb_get_bus_number(list[i]) != node.busNumber || libusb_get_device_address(list[i]) != node.deviceAddress)
      continue;
    int result = libusb_open(list[i], &handle);
    if (result != 0) error = LastErrorFromLibusb(result), handle = nullptr;
    break;
  }
  if (list != nullptr) libusb_free_device_list(list, 1);
  return handle;
}

const LinuxDeviceStack::InterfaceClassProbe& LinuxDeviceStack::ProbeInterfaceClasses(const LinuxNode& node) {
  std::lock_guard lock(mutex_);
  auto cached = probes_.find(node.path);
  if (cached != probes_.end()) return cached->second;
  InterfaceClassProbe& probe = probes_[node.path];
  // The node is opened once first, so that lack of permission is told, not taken for
  // "no interface class".
  int descriptor = OpenNodeDescriptor(node, O_RDWR);
  if (descriptor < 0) return probe;
  ::close(descriptor);
  std::uint32_t error = 0;
  UsbHandle handle(OpenUsbDevice(node, error));
  if (handle) probe.declared = AskInterfaceClasses(handle.get());
  return probe;
}

bool LinuxDeviceStack::WinUsb_Initialize(OsHandle device, OsHandle* interfaceHandle) {
  std::lock_guard lock(mutex_);
  OpenNode* file = FindNodeFile(device);
  if (file == nullptr) return false;
  if (interfaceHandle == nullptr || (file->flags & kFileFlagOverlapped) == 0) return Fail(kErrorInvalidParameter);
  auto probe = probes_.find(file->node.path);
  if (file->node.kind != NodeKind::UsbDevice || probe == probes_.end()) return Fail(kErrorInvalidFunction);
  std::optional<std::uint8_t> declaring = InterfaceOfClass(probe->second.declared, file->node.interfaceClass);
  if (!declaring) return Fail(kErrorInvalidFunction);
  std::uint32_t error = 0;
  UsbHandle handle(OpenUsbDevice(file->node, error));
  if (!handle) return Fail(error);
  int interfaceNumber = *declaring;
  int claimed = libusb_claim_interface(handle.get(), interfaceNumber);
  if (claimed != 0) return Fail(LastErrorFromLibusb(claimed));
  *interfaceHandle = winUsb_.Add(WinUsbInterface{handle.release(), interfaceNumber});
  return true;
}

bool LinuxDeviceStack::WinUsb_ControlTransfer(OsHandle interfaceHandle, const UsbSetupPacket& setup,
                                              std::uint8_t* buffer, std::uint32_t bufferLength,
                                              std::uint32_t* transferred) {
  if (transferred != nullptr) *transferred = 0;
  std::lock_guard lock(mutex_);
  const WinUsbInterface* claimed = winUsb_.Find(interfaceHandle);
  if (claimed == nullptr) return false;
  if (bufferLength < setup.length || (setup.length > 0 && buffer == nullptr)) return Fail(kErrorInvalidParameter);
  int result = libusb_control_transfer(claimed->handle, setup.requestType, setup.request, setup.value,
                                       setup.index, buffer, setup.length, kTransferTimeoutMs);
  if (result < 0) return Fail(LastErrorFromLibusb(result));
  if (transferred != nullptr) *transferred = static_cast<std::uint32_t>(result);
  return true;
}

bool LinuxDeviceStack::WinUsb_Free(OsHandle interfaceHandle) {
  std::lock_guard lock(mutex_);
  const WinUsbInterface* claimed = winUsb_.Find(interfaceHandle);
  if (claimed == nullptr) return false;
  libusb_release_interface(claimed->handle, claimed->interfaceNumber);
  libusb_close(claimed->handle);
  return winUsb_.Remove(interfaceHandle);
}

}  // namespace tessora::linuxstack

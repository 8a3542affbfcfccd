#pragma once
#include <bitset>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/emulation/emulated_device_stack.h"
#include "platform/linux/hid_report_descriptor.h"
#include "platform/linux/ms_os_descriptor.h"
#include "platform/linux/udev_devices.h"
#include "platform/os_services.h"
#include "platform/posix/unique_descriptor.h"

struct libusb_context;
struct libusb_device_handle;

namespace tessora::linuxstack {

// The feature report IDs a hidraw node's report descriptor declares (none for any other
// node). hidraw hands any report ID to the device, so this keeps every device from being
// asked for a report it never declared, as HID.DLL does.
std::bitset<256> DeclaredFeatureReports(const LinuxNode& node);

// Opens a device node as open(2) does: a descriptor, or -1 with errno set.
using NodeOpener = std::function<int(const char* path, int flags)>;

// The device stack of a Linux system: udev lists the device interfaces, hidraw carries
// the HID calls and libusb the WinUSB control transfers. A USB device is listed under each
// interface class its Microsoft OS 2.0 descriptors declare, as Windows would register it;
// no node answers the filter driver's requests, which exists only on Windows.
class LinuxDeviceStack : public EmulatedDeviceStack {
 public:
  // Overlapped reads signal their events through these services.
  explicit LinuxDeviceStack(OsServices& events, NodeOpener opener = {});
  ~LinuxDeviceStack() override;

  bool DeviceIoControl(OsHandle device, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                       std::uint32_t outSize, std::uint32_t* bytesReturned) override;
  bool WriteFile(OsHandle device, const void* buffer, std::uint32_t size, std::uint32_t* written) override;
  bool ReadFile(OsHandle device, void* buffer, std::uint32_t size, std::uint32_t* read) override;

  bool WinUsb_Initialize(OsHandle device, OsHandle* interfaceHandle) override;
  bool WinUsb_ControlTransfer(OsHandle interfaceHandle, const UsbSetupPacket& setup, std::uint8_t* buffer,
                              std::uint32_t bufferLength, std::uint32_t* transferred) override;
  bool WinUsb_Free(OsHandle interfaceHandle) override;

  bool HidD_GetAttributes(OsHandle device, HidAttributes& attributes) override;
  bool HidD_GetProductString(OsHandle device, char16_t* buffer, std::uint32_t bufferBytes) override;
  bool HidD_GetSerialNumberString(OsHandle device, char16_t* buffer, std::uint32_t bufferBytes) override;
  bool HidD_GetPreparsedData(OsHandle device, OsHandle* preparsed) override;
  bool HidD_FreePreparsedData(OsHandle preparsed) override;
  bool HidP_GetCaps(OsHandle preparsed, HidCaps& caps) override;
  bool HidP_HasFeatureReportId(OsHandle preparsed, std::uint8_t reportId) override;
  bool HidD_SetFeature(OsHandle device, const void* report, std::uint32_t length) override;
  bool HidD_GetFeature(OsHandle device, void* report, std::uint32_t length) override;
  std::string UsbPortPath(const char* devicePath) override;
  // The serial string sysfs gives, also one that the instance ID leaves out for the port
  // (one Windows would refuse): on every interface of the device it is the same.
  std::string UsbSerialNumber(const char* devicePath) override;
  std::string UsbProductString(const char* devicePath) override;
  // The hidraw nodes, and the nodes of USB devices that may declare interface classes, that
  // could not be opened, by path.
  std::vector<RefusedNode> RefusedNodes() const override;
  // udev's events for hidraw nodes and USB devices.
  std::unique_ptr<DeviceWatch> WatchDevices() override;

 protected:
  std::vector<ListedInterface> ListInterfaces(const Guid& interfaceClass, bool presentOnly) override;
  std::optional<ListedInterface> LookUpInterface(const char* path) override;
  std::unique_ptr<OpenFile> OpenInterface(const char* path, std::uint32_t access, std::uint32_t flags) override;
  bool ReadsReports(OpenFile& file) override;
  bool StartRead(OpenFile& file, OverlappedTransfer& read, void* buffer, std::uint32_t size) override;
  bool CancelRead(OpenFile& file, OverlappedTransfer& read) override;

 private:
  struct OpenNode : OpenFile {
    LinuxNode node;
    UniqueDescriptor descriptor;      // not valid: opened for queries only (access 0)
    std::bitset<256> featureReports;  // hidraw: the feature report IDs its descriptor declares
    UniqueDescriptor wake;            // eventfd that ends a running read
  };
  struct WinUsbInterface {
    libusb_device_handle* handle = nullptr;
    int interfaceNumber = 0;
  };
  // The interface classes a device's Microsoft OS 2.0 descriptors declare, asked once per
  // device and run.
  struct InterfaceClassProbe {
    std::vector<DeclaredInterfaceClass> declared;
  };

  static ListedInterface Listing(const LinuxNode& node);
  std::vector<LinuxNode> ListNodes(const Guid& interfaceClass);
  std::optional<LinuxNode> FindNode(const std::string& path);
  OpenNode* FindNodeFile(OsHandle handle) { return static_cast<OpenNode*>(FindFile(handle)); }
  OpenNode* HidFile(OsHandle handle, bool needsDescriptor);
  // Whether the file is a HID one, opened for reading and writing when needsDescriptor;
  // false with the last error set.
  bool IsHidFile(const OpenNode& file, bool needsDescriptor);
  bool HidString(OsHandle device, bool LinuxNode::*present, std::string LinuxNode::*text, char16_t* buffer,
                 std::uint32_t bufferBytes);
  int OpenNodeDescriptor(const LinuxNode& node, int flags);
  void NoteRefusal(const LinuxNode& node, std::uint32_t error);
  bool FeatureRequestAllowed(const OpenNode& file, const void* report, std::uint32_t length);
  libusb_context* Usb();
  libusb_device_handle* OpenUsbDevice(const LinuxNode& node, std::uint32_t& error);
  const InterfaceClassProbe& ProbeInterfaceClasses(const LinuxNode& node);
  void WaitForReport(int descriptor, int wake, OverlappedTransfer* read, std::uint8_t* buffer, std::uint32_t size);
  bool ReadDescriptor(const OpenNode& file, std::vector<std::uint8_t>& descriptor);

  NodeOpener opener_;
  UdevSystem udev_;
  libusb_context* usb_ = nullptr;
  HandleTable<HidReportLayout> preparsed_{Handles()};
  HandleTable<WinUsbInterface> winUsb_{Handles()};
  std::map<std::string, LinuxNode> knownNodes_;  // by path, from the latest listings
  std::map<std::string, InterfaceClassProbe> probes_;  // by node path
  std::map<std::string, RefusedNode> refused_;         // by node path
};

}  // namespace tessora::linuxstack

#pragma once
#include <atomic>
#include <bitset>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/device_stack.h"
#include "platform/linux/hid_report_descriptor.h"
#include "platform/linux/ms_os_descriptor.h"
#include "platform/linux/udev_devices.h"
#include "platform/os_services.h"

struct libusb_context;
struct libusb_device_handle;

namespace tessora::linuxstack {

extern const Guid kHidInterfaceGuid;

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
class LinuxDeviceStack : public DeviceStack {
 public:
  // Overlapped reads signal their events through these services.
  explicit LinuxDeviceStack(OsServices& events, NodeOpener opener = {});
  ~LinuxDeviceStack() override;
  LinuxDeviceStack(const LinuxDeviceStack&) = delete;
  LinuxDeviceStack& operator=(const LinuxDeviceStack&) = delete;

  std::uint32_t GetLastError() override;

  OsHandle SetupDiGetClassDevsA(const Guid& interfaceClass, std::uint32_t flags) override;
  bool SetupDiEnumDeviceInterfaces(OsHandle set, const Guid& interfaceClass, std::uint32_t index,
                                   DeviceInterfaceData& data) override;
  bool SetupDiGetDeviceInterfaceDetailA(OsHandle set, const DeviceInterfaceData& data, char* path,
                                        std::uint32_t pathSize, std::uint32_t* requiredSize,
                                        DevInfoData* device) override;
  bool SetupDiGetDeviceInstanceIdA(OsHandle set, const DevInfoData& device, char* buffer, std::uint32_t bufferSize,
                                   std::uint32_t* requiredSize) override;
  OsHandle SetupDiCreateDeviceInfoList() override;
  bool SetupDiOpenDeviceInterfaceA(OsHandle set, const char* path, std::uint32_t openFlags,
                                   DeviceInterfaceData* data) override;
  bool SetupDiDestroyDeviceInfoList(OsHandle set) override;

  OsHandle CreateFileA(const char* path, std::uint32_t access, std::uint32_t shareMode, std::uint32_t creation,
                       std::uint32_t flags) override;
  bool CloseHandle(OsHandle handle) override;
  bool DeviceIoControl(OsHandle device, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                       std::uint32_t outSize, std::uint32_t* bytesReturned) override;
  bool WriteFile(OsHandle device, const void* buffer, std::uint32_t size, std::uint32_t* written) override;
  bool ReadFile(OsHandle device, void* buffer, std::uint32_t size, std::uint32_t* read) override;
  bool ReadFileOverlapped(OsHandle device, void* buffer, std::uint32_t size, OverlappedIo& overlapped) override;
  bool GetOverlappedResult(OsHandle device, OverlappedIo& overlapped, std::uint32_t* transferred,
                           bool wait) override;
  bool CancelIoEx(OsHandle device, OverlappedIo& overlapped) override;

  bool WinUsb_Initialize(OsHandle device, OsHandle* interfaceHandle) override;
  bool WinUsb_ControlTransfer(OsHandle interfaceHandle, const UsbSetupPacket& setup, std::uint8_t* buffer,
                              std::uint32_t bufferLength, std::uint32_t* transferred) override;
  bool WinUsb_Free(OsHandle interfaceHandle) override;

  Guid HidD_GetHidGuid() override;
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

 private:
  // The one overlapped read of a handle: a thread waits for the node to become readable
  // or for the wake-up descriptor, which cancellation and closing write to.
  struct PendingRead {
    const OverlappedIo* record = nullptr;
    OsHandle event = kNullHandle;
    std::thread waiter;
    std::atomic<bool> ended{false};
    std::uint32_t transferred = 0;
    std::uint32_t error = kErrorSuccess;
  };
  struct OpenNode {
    LinuxNode node;
    int descriptor = -1;  // -1: opened for queries only (access 0)
    std::bitset<256> featureReports;  // hidraw: the feature report IDs its descriptor declares
    std::uint32_t flags = 0;
    int wake = -1;        // eventfd that ends a pending read
    std::unique_ptr<PendingRead> read;
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

  bool Fail(std::uint32_t error);
  OsHandle NewHandle();
  std::vector<LinuxNode> ListInterfaces(const Guid& interfaceClass);
  std::optional<LinuxNode> FindNode(const std::string& path);
  OpenNode* FindFile(OsHandle handle);
  OpenNode* HidFile(OsHandle handle, bool needsDescriptor);
  // The set's member that an enumeration record names; null with the last error set.
  const LinuxNode* SetMember(OsHandle set, std::uintptr_t reserved);
  bool CopyWithTerminator(const std::string& text, char* buffer, std::uint32_t bufferSize,
                          std::uint32_t* requiredSize);
  bool HidString(OsHandle device, bool LinuxNode::*present, std::string LinuxNode::*text, char16_t* buffer,
                 std::uint32_t bufferBytes);
  int OpenNodeDescriptor(const LinuxNode& node, int flags);
  void NoteRefusal(const LinuxNode& node, std::uint32_t error);
  bool FeatureRequestAllowed(const OpenNode& file, const void* report, std::uint32_t length);
  libusb_context* Usb();
  libusb_device_handle* OpenUsbDevice(const LinuxNode& node, std::uint32_t& error);
  const InterfaceClassProbe& ProbeInterfaceClasses(const LinuxNode& node);
  void EndPendingRead(OpenNode& file);
  void WaitForReport(OpenNode* file, std::uint8_t* buffer, std::uint32_t size);
  bool ReadDescriptor(const OpenNode& file, std::vector<std::uint8_t>& descriptor);

  OsServices& events_;
  NodeOpener opener_;
  UdevSystem udev_;
  libusb_context* usb_ = nullptr;
  mutable std::recursive_mutex mutex_;
  OsHandle nextHandle_ = 0x1000;
  std::map<OsHandle, std::vector<LinuxNode>> sets_;
  std::map<OsHandle, std::unique_ptr<OpenNode>> files_;
  std::map<OsHandle, HidReportLayout> preparsed_;
  std::map<OsHandle, WinUsbInterface> winUsb_;
  std::map<std::string, LinuxNode> knownNodes_;  // by path, from the latest listings
  std::map<std::string, InterfaceClassProbe> probes_;  // by node path
  std::map<std::string, RefusedNode> refused_;         // by node path
};

}  // namespace tessora::linuxstack

#pragma once
// The device half of the platform seam: the calls through which the device library
// and the HID subsystem reach USB devices. They keep the Win32 names and semantics
// (results, last-error codes, buffer-size rules) so that the win32 backend is a thin
// pass-through and the simulated board answers exactly what Windows would.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/device_watch.h"
#include "platform/types.h"

namespace tessora {

struct DeviceInterfaceData {
  Guid interfaceClassGuid{};
  std::uint32_t flags = 0;
  std::uintptr_t reserved = 0;  // backend's own reference to the interface
};

struct DevInfoData {
  Guid classGuid{};
  std::uint32_t devInst = 0;
  std::uintptr_t reserved = 0;  // backend's own reference to the device
};

// Largest device path the device library accepts, terminator included (the path
// buffer of SP_DEVICE_INTERFACE_DETAIL_DATA_A it uses is 261 bytes with its size field).
constexpr std::uint32_t kDevicePathBufferSize = 257;

struct UsbSetupPacket {
  std::uint8_t requestType = 0;
  std::uint8_t request = 0;
  std::uint16_t value = 0;
  std::uint16_t index = 0;
  std::uint16_t length = 0;
};

struct HidAttributes {
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::uint16_t versionNumber = 0;
};

struct HidCaps {
  std::uint16_t usage = 0;
  std::uint16_t usagePage = 0;
  std::uint16_t inputReportByteLength = 0;
  std::uint16_t outputReportByteLength = 0;
  std::uint16_t featureReportByteLength = 0;
};

// The record of one overlapped transfer (OVERLAPPED on Windows): the event the backend
// sets when the transfer ends, and room for the backend's own state. It must stay where
// it is until the transfer has ended and been collected with GetOverlappedResult.
struct OverlappedIo {
  OsHandle event = kNullHandle;
  alignas(8) std::uint8_t backend[32] = {};
};

// A device node the stack found and could not open: what a listing or a remedy can tell of
// it without opening it.
struct RefusedNode {
  std::string path;
  // The class it is listed under; the null GUID for a USB device whose Microsoft OS 2.0
  // descriptors, which declare its classes, could not be read.
  Guid interfaceClass{};
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::string product;                  // UTF-8, as the device names itself; empty when it does not
  std::uint32_t error = kErrorSuccess;  // why, as GetLastError would tell it
};

class DeviceStack {
 public:
  virtual ~DeviceStack() = default;

  // The reason of the calling thread's last failed call.
  virtual std::uint32_t GetLastError() = 0;

  // --- device-interface enumeration (SETUPAPI) ---
  virtual OsHandle SetupDiGetClassDevsA(const Guid& interfaceClass, std::uint32_t flags) = 0;
  virtual bool SetupDiEnumDeviceInterfaces(OsHandle set, const Guid& interfaceClass, std::uint32_t index,
                                           DeviceInterfaceData& data) = 0;
  // With path == nullptr only the required size (and, when asked, the device element)
  // is delivered; the call then fails with kErrorInsufficientBuffer. A path that does
  // not fit pathSize fails the same way.
  virtual bool SetupDiGetDeviceInterfaceDetailA(OsHandle set, const DeviceInterfaceData& data, char* path,
                                                std::uint32_t pathSize, std::uint32_t* requiredSize,
                                                DevInfoData* device) = 0;
  // With buffer == nullptr only the required size in characters (terminator included).
  virtual bool SetupDiGetDeviceInstanceIdA(OsHandle set, const DevInfoData& device, char* buffer,
                                           std::uint32_t bufferSize, std::uint32_t* requiredSize) = 0;
  virtual OsHandle SetupDiCreateDeviceInfoList() = 0;
  virtual bool SetupDiOpenDeviceInterfaceA(OsHandle set, const char* path, std::uint32_t openFlags,
                                           DeviceInterfaceData* data) = 0;
  virtual bool SetupDiDestroyDeviceInfoList(OsHandle set) = 0;

  // --- device handles (KERNEL32) ---
  virtual OsHandle CreateFileA(const char* path, std::uint32_t access, std::uint32_t shareMode,
                               std::uint32_t creation, std::uint32_t flags) = 0;
  virtual bool CloseHandle(OsHandle handle) = 0;
  virtual bool DeviceIoControl(OsHandle device, std::uint32_t code, const void* in, std::uint32_t inSize,
                               void* out, std::uint32_t outSize, std::uint32_t* bytesReturned) = 0;
  // Blocking report transfers on a HID handle.
  virtual bool WriteFile(OsHandle device, const void* buffer, std::uint32_t size, std::uint32_t* written) = 0;
  virtual bool ReadFile(OsHandle device, void* buffer, std::uint32_t size, std::uint32_t* read) = 0;
  // Report read on a handle opened with kFileFlagOverlapped. True when it completed at
  // once; false with kErrorIoPending while it runs (the record's event is set when it
  // ends); false with another error when it could not start.
  virtual bool ReadFileOverlapped(OsHandle device, void* buffer, std::uint32_t size, OverlappedIo& overlapped) = 0;
  // The outcome of an overlapped transfer; with wait, once it has ended. Without wait a
  // running transfer fails with kErrorIoIncomplete; a cancelled one ends with
  // kErrorOperationAborted.
  virtual bool GetOverlappedResult(OsHandle device, OverlappedIo& overlapped, std::uint32_t* transferred,
                                   bool wait) = 0;
  // Asks a running transfer to end, whichever thread started it; collect it afterwards
  // with GetOverlappedResult. Fails with kErrorNotFound when it is no longer running.
  virtual bool CancelIoEx(OsHandle device, OverlappedIo& overlapped) = 0;

  // --- WinUSB (bound at first use on Windows; a failed bind fails WinUsb_Initialize) ---
  virtual bool WinUsb_Initialize(OsHandle device, OsHandle* interfaceHandle) = 0;
  virtual bool WinUsb_ControlTransfer(OsHandle interfaceHandle, const UsbSetupPacket& setup, std::uint8_t* buffer,
                                      std::uint32_t bufferLength, std::uint32_t* transferred) = 0;
  virtual bool WinUsb_Free(OsHandle interfaceHandle) = 0;

  // --- HID class (HID.DLL) ---
  virtual Guid HidD_GetHidGuid() = 0;
  virtual bool HidD_GetAttributes(OsHandle device, HidAttributes& attributes) = 0;
  // Strings arrive as UTF-16 units, zero-terminated when they fit; bufferBytes is in bytes.
  virtual bool HidD_GetProductString(OsHandle device, char16_t* buffer, std::uint32_t bufferBytes) = 0;
  virtual bool HidD_GetSerialNumberString(OsHandle device, char16_t* buffer, std::uint32_t bufferBytes) = 0;
  virtual bool HidD_GetPreparsedData(OsHandle device, OsHandle* preparsed) = 0;
  virtual bool HidD_FreePreparsedData(OsHandle preparsed) = 0;
  virtual bool HidP_GetCaps(OsHandle preparsed, HidCaps& caps) = 0;
  // Whether the report descriptor declares a feature report with this ID (what
  // HidP_GetValueCaps would tell), for listings and for telling controllers from other HID
  // devices without sending them anything.
  virtual bool HidP_HasFeatureReportId(OsHandle /*preparsed*/, std::uint8_t /*reportId*/) { return false; }
  virtual bool HidD_SetFeature(OsHandle device, const void* report, std::uint32_t length) = 0;
  virtual bool HidD_GetFeature(OsHandle device, void* report, std::uint32_t length) = 0;

  // Where the USB device behind an interface is plugged in, as the system names the place
  // ("1-1.4" on Linux, the location path on Windows), for picking a board by its place and
  // telling apart boards that have no serial number; empty where the stack cannot tell.
  virtual std::string UsbPortPath(const char* /*devicePath*/) { return {}; }
  // The serial number of the USB device behind an interface, whole, the same on each of
  // its interfaces; empty when the device has none or the system does not name the device
  // by it (Windows names a device by its place when it ignores or refuses the serial).
  virtual std::string UsbSerialNumber(const char* /*devicePath*/) { return {}; }
  // The product string of the USB device behind an interface, UTF-8, as the system keeps it
  // (off USB, the name the system gives the device); empty when the device names none or the
  // stack cannot tell.
  virtual std::string UsbProductString(const char* /*devicePath*/) { return {}; }
  // Each device node this stack could not open so far, with the latest reason. Empty where
  // the system has no such nodes to tell of: Windows opens any interface for queries and
  // says why an open failed through the last error alone.
  virtual std::vector<RefusedNode> RefusedNodes() const { return {}; }
  // A watch that wakes its waiter as devices arrive and leave; null where the stack cannot
  // tell.
  virtual std::unique_ptr<DeviceWatch> WatchDevices() { return nullptr; }
};

}  // namespace tessora

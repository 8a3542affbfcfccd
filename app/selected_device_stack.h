#pragma once
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/device_stack.h"

namespace tessora {

// Whether an interface that enumeration lists belongs in the view; it may ask the stack
// below (`all`) about the interface the record names in the set.
using InterfaceFilter =
    std::function<bool(DeviceStack& all, OsHandle set, const Guid& interfaceClass, const DeviceInterfaceData& data)>;

// A view of another device stack in which enumeration lists only the interfaces the filter
// accepts. Every other call goes through unchanged, so the device library and the HID
// enumeration above it find those interfaces or none.
class SelectedDeviceStack : public DeviceStack {
 public:
  SelectedDeviceStack(DeviceStack& all, InterfaceFilter filter) : all_(all), filter_(std::move(filter)) {}

  std::uint32_t GetLastError() override { return all_.GetLastError(); }

  OsHandle SetupDiGetClassDevsA(const Guid& interfaceClass, std::uint32_t flags) override;
  bool SetupDiEnumDeviceInterfaces(OsHandle set, const Guid& interfaceClass, std::uint32_t index,
                                   DeviceInterfaceData& data) override;
  bool SetupDiGetDeviceInterfaceDetailA(OsHandle set, const DeviceInterfaceData& data, char* path,
                                        std::uint32_t pathSize, std::uint32_t* requiredSize,
                                        DevInfoData* device) override {
    return all_.SetupDiGetDeviceInterfaceDetailA(set, data, path, pathSize, requiredSize, device);
  }
  bool SetupDiGetDeviceInstanceIdA(OsHandle set, const DevInfoData& device, char* buffer, std::uint32_t bufferSize,
                                   std::uint32_t* requiredSize) override {
    return all_.SetupDiGetDeviceInstanceIdA(set, device, buffer, bufferSize, requiredSize);
  }
  OsHandle SetupDiCreateDeviceInfoList() override { return all_.SetupDiCreateDeviceInfoList(); }
  bool SetupDiOpenDeviceInterfaceA(OsHandle set, const char* path, std::uint32_t openFlags,
                                   DeviceInterfaceData* data) override {
    return all_.SetupDiOpenDeviceInterfaceA(set, path, openFlags, data);
  }
  bool SetupDiDestroyDeviceInfoList(OsHandle set) override;

  OsHandle CreateFileA(const char* path, std::uint32_t access, std::uint32_t shareMode, std::uint32_t creation,
                       std::uint32_t flags) override {
    return all_.CreateFileA(path, access, shareMode, creation, flags);
  }
  bool CloseHandle(OsHandle handle) override { return all_.CloseHandle(handle); }
  bool DeviceIoControl(OsHandle device, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                       std::uint32_t outSize, std::uint32_t* bytesReturned) override {
    return all_.DeviceIoControl(device, code, in, inSize, out, outSize, bytesReturned);
  }
  bool WriteFile(OsHandle device, const void* buffer, std::uint32_t size, std::uint32_t* written) override {
    return all_.WriteFile(device, buffer, size, written);
  }
  bool ReadFile(OsHandle device, void* buffer, std::uint32_t size, std::uint32_t* read) override {
    return all_.ReadFile(device, buffer, size, read);
  }
  bool ReadFileOverlapped(OsHandle device, void* buffer, std::uint32_t size, OverlappedIo& overlapped) override {
    return all_.ReadFileOverlapped(device, buffer, size, overlapped);
  }
  bool GetOverlappedResult(OsHandle device, OverlappedIo& overlapped, std::uint32_t* transferred,
                           bool wait) override {
    return all_.GetOverlappedResult(device, overlapped, transferred, wait);
  }
  bool CancelIoEx(OsHandle device, OverlappedIo& overlapped) override { return all_.CancelIoEx(device, overlapped); }

  bool WinUsb_Initialize(OsHandle device, OsHandle* interfaceHandle) override {
    return all_.WinUsb_Initialize(device, interfaceHandle);
  }
  bool WinUsb_ControlTransfer(OsHandle interfaceHandle, const UsbSetupPacket& setup, std::uint8_t* buffer,
                              std::uint32_t bufferLength, std::uint32_t* transferred) override {
    return all_.WinUsb_ControlTransfer(interfaceHandle, setup, buffer, bufferLength, transferred);
  }
  bool WinUsb_Free(OsHandle interfaceHandle) override { return all_.WinUsb_Free(interfaceHandle); }

  Guid HidD_GetHidGuid() override { return all_.HidD_GetHidGuid(); }
  bool HidD_GetAttributes(OsHandle device, HidAttributes& attributes) override {
    return all_.HidD_GetAttributes(device, attributes);
  }
  bool HidD_GetProductString(OsHandle device, char16_t* buffer, std::uint32_t bufferBytes) override {
    return all_.HidD_GetProductString(device, buffer, bufferBytes);
  }
  bool HidD_GetSerialNumberString(OsHandle device, char16_t* buffer, std::uint32_t bufferBytes) override {
    return all_.HidD_GetSerialNumberString(device, buffer, bufferBytes);
  }
  bool HidD_GetPreparsedData(OsHandle device, OsHandle* preparsed) override {
    return all_.HidD_GetPreparsedData(device, preparsed);
  }
  bool HidD_FreePreparsedData(OsHandle preparsed) override { return all_.HidD_FreePreparsedData(preparsed); }
  bool HidP_GetCaps(OsHandle preparsed, HidCaps& caps) override { return all_.HidP_GetCaps(preparsed, caps); }
  bool HidP_HasFeatureReportId(OsHandle preparsed, std::uint8_t reportId) override {
    return all_.HidP_HasFeatureReportId(preparsed, reportId);
  }
  bool HidD_SetFeature(OsHandle device, const void* report, std::uint32_t length) override {
    return all_.HidD_SetFeature(device, report, length);
  }
  bool HidD_GetFeature(OsHandle device, void* report, std::uint32_t length) override {
    return all_.HidD_GetFeature(device, report, length);
  }
  std::string UsbPortPath(const char* devicePath) override { return all_.UsbPortPath(devicePath); }
  std::string UsbSerialNumber(const char* devicePath) override { return all_.UsbSerialNumber(devicePath); }
  std::string UsbProductString(const char* devicePath) override { return all_.UsbProductString(devicePath); }
  std::vector<RefusedNode> RefusedNodes() const override { return all_.RefusedNodes(); }

 private:
  // Which interfaces of the full set are the selected device's, and the index at which
  // the full set ends (asking for it gives ERROR_NO_MORE_ITEMS from the stack below).
  struct Selection {
    std::vector<std::uint32_t> members;
    std::uint32_t end = 0;
  };
  Selection Select(OsHandle set, const Guid& interfaceClass);

  DeviceStack& all_;
  InterfaceFilter filter_;
  std::mutex mutex_;
  std::map<OsHandle, Selection> selections_;
};

}  // namespace tessora

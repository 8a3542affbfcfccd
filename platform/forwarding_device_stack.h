#pragma once
#include <string>
#include <vector>

#include "platform/device_stack.h"

namespace tessora {

// A device stack that hands every call to another one unchanged, for views of a stack
// that override only the calls they change.
class ForwardingDeviceStack : public DeviceStack {
 public:
  explicit ForwardingDeviceStack(DeviceStack& inner) : inner_(inner) {}

  std::uint32_t GetLastError() override { return inner_.GetLastError(); }

  OsHandle SetupDiGetClassDevsA(const Guid& interfaceClass, std::uint32_t flags) override {
    return inner_.SetupDiGetClassDevsA(interfaceClass, flags);
  }
  bool SetupDiEnumDeviceInterfaces(OsHandle set, const Guid& interfaceClass, std::uint32_t index,
                                   DeviceInterfaceData& data) override {
    return inner_.SetupDiEnumDeviceInterfaces(set, interfaceClass, index, data);
  }
  bool SetupDiGetDeviceInterfaceDetailA(OsHandle set, const DeviceInterfaceData& data, char* path,
                                        std::uint32_t pathSize, std::uint32_t* requiredSize,
                                        DevInfoData* device) override {
    return inner_.SetupDiGetDeviceInterfaceDetailA(set, data, path, pathSize, requiredSize, device);
  }
  bool SetupDiGetDeviceInstanceIdA(OsHandle set, const DevInfoData& device, char* buffer, std::uint32_t bufferSize,
                                   std::uint32_t* requiredSize) override {
    return inner_.SetupDiGetDeviceInstanceIdA(set, device, buffer, bufferSize, requiredSize);
  }
  OsHandle SetupDiCreateDeviceInfoList() override { return inner_.SetupDiCreateDeviceInfoList(); }
  bool SetupDiOpenDeviceInterfaceA(OsHandle set, const char* path, std::uint32_t openFlags,
                                   DeviceInterfaceData* data) override {
    return inner_.SetupDiOpenDeviceInterfaceA(set, path, openFlags, data);
  }
  bool SetupDiDestroyDeviceInfoList(OsHandle set) override { return inner_.SetupDiDestroyDeviceInfoList(set); }

  OsHandle CreateFileA(const char* path, std::uint32_t access, std::uint32_t shareMode, std::uint32_t creation,
                       std::uint32_t flags) override {
    return inner_.CreateFileA(path, access, shareMode, creation, flags);
  }
  bool CloseHandle(OsHandle handle) override { return inner_.CloseHandle(handle); }
  bool DeviceIoControl(OsHandle device, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                       std::uint32_t outSize, std::uint32_t* bytesReturned) override {
    return inner_.DeviceIoControl(device, code, in, inSize, out, outSize, bytesReturned);
  }
  bool WriteFile(OsHandle device, const void* buffer, std::uint32_t size, std::uint32_t* written) override {
    return inner_.WriteFile(device, buffer, size, written);
  }
  bool ReadFile(OsHandle device, void* buffer, std::uint32_t size, std::uint32_t* read) override {
    return inner_.ReadFile(device, buffer, size, read);
  }
  bool ReadFileOverlapped(OsHandle device, void* buffer, std::uint32_t size, OverlappedIo& overlapped) override {
    return inner_.ReadFileOverlapped(device, buffer, size, overlapped);
  }
  bool GetOverlappedResult(OsHandle device, OverlappedIo& overlapped, std::uint32_t* transferred,
                           bool wait) override {
    return inner_.GetOverlappedResult(device, overlapped, transferred, wait);
  }
  bool CancelIoEx(OsHandle device, OverlappedIo& overlapped) override { return inner_.CancelIoEx(device, overlapped); }

  bool WinUsb_Initialize(OsHandle device, OsHandle* interfaceHandle) override {
    return inner_.WinUsb_Initialize(device, interfaceHandle);
  }
  bool WinUsb_ControlTransfer(OsHandle interfaceHandle, const UsbSetupPacket& setup, std::uint8_t* buffer,
                              std::uint32_t bufferLength, std::uint32_t* transferred) override {
    return inner_.WinUsb_ControlTransfer(interfaceHandle, setup, buffer, bufferLength, transferred);
  }
  bool WinUsb_Free(OsHandle interfaceHandle) override { return inner_.WinUsb_Free(interfaceHandle); }

  Guid HidD_GetHidGuid() override { return inner_.HidD_GetHidGuid(); }
  bool HidD_GetAttributes(OsHandle device, HidAttributes& attributes) override {
    return inner_.HidD_GetAttributes(device, attributes);
  }
  bool HidD_GetProductString(OsHandle device, char16_t* buffer, std::uint32_t bufferBytes) override {
    return inner_.HidD_GetProductString(device, buffer, bufferBytes);
  }
  bool HidD_GetSerialNumberString(OsHandle device, char16_t* buffer, std::uint32_t bufferBytes) override {
    return inner_.HidD_GetSerialNumberString(device, buffer, bufferBytes);
  }
  bool HidD_GetPreparsedData(OsHandle device, OsHandle* preparsed) override {
    return inner_.HidD_GetPreparsedData(device, preparsed);
  }
  bool HidD_FreePreparsedData(OsHandle preparsed) override { return inner_.HidD_FreePreparsedData(preparsed); }
  bool HidP_GetCaps(OsHandle preparsed, HidCaps& caps) override { return inner_.HidP_GetCaps(preparsed, caps); }
  bool HidP_HasFeatureReportId(OsHandle preparsed, std::uint8_t reportId) override {
    return inner_.HidP_HasFeatureReportId(preparsed, reportId);
  }
  bool HidD_SetFeature(OsHandle device, const void* report, std::uint32_t length) override {
    return inner_.HidD_SetFeature(device, report, length);
  }
  bool HidD_GetFeature(OsHandle device, void* report, std::uint32_t length) override {
    return inner_.HidD_GetFeature(device, report, length);
  }
  std::string UsbPortPath(const char* devicePath) override { return inner_.UsbPortPath(devicePath); }
  std::string UsbSerialNumber(const char* devicePath) override { return inner_.UsbSerialNumber(devicePath); }
  std::string UsbProductString(const char* devicePath) override { return inner_.UsbProductString(devicePath); }
  std::vector<RefusedNode> RefusedNodes() const override { return inner_.RefusedNodes(); }
  std::unique_ptr<DeviceWatch> WatchDevices() override { return inner_.WatchDevices(); }

 protected:
  DeviceStack& Inner() const { return inner_; }

 private:
  DeviceStack& inner_;
};

}  // namespace tessora

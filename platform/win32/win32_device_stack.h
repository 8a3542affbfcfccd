#pragma once
#include "platform/device_stack.h"
#include "platform/win32/winusb_binding.h"

namespace tessora {

// The real Windows calls behind the device half of the seam. SETUPAPI, KERNEL32 and
// HID.DLL are linked; WINUSB.DLL is bound at its first use, so the program runs its HID
// and FilterDriver paths on systems without it.
class Win32DeviceStack : public DeviceStack {
 public:
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
  // The USB device's location path, and the serial number in its instance ID.
  std::string UsbPortPath(const char* devicePath) override;
  std::string UsbSerialNumber(const char* devicePath) override;
  // The configuration manager's interface arrivals and removals.
  std::unique_ptr<DeviceWatch> WatchDevices() override;

 private:
  WinUsbBinding winUsb_;
};

}  // namespace tessora

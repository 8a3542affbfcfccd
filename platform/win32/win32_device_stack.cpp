// SETUPAPI, KERNEL32 and late-bound WINUSB.DLL behind the device half of the seam.
#include <windows.h>
#include <setupapi.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include "platform/native_device_stack.h"
#include "platform/win32/win32_device_stack.h"
#include "platform/win32/win32_device_watch.h"

namespace tessora {

namespace {

HANDLE AsHandle(OsHandle handle) { return reinterpret_cast<HANDLE>(handle); }
OsHandle FromHandle(HANDLE handle) { return reinterpret_cast<OsHandle>(handle); }

SP_DEVICE_INTERFACE_DATA ToWin32(const DeviceInterfaceData& data) {
  SP_DEVICE_INTERFACE_DATA native{};
  native.cbSize = sizeof native;  // 28 on 32-bit Windows, 32 on 64-bit
  std::memcpy(&native.InterfaceClassGuid, &data.interfaceClassGuid, sizeof(GUID));
  native.Flags = data.flags;
  native.Reserved = data.reserved;
  return native;
}

DeviceInterfaceData FromWin32(const SP_DEVICE_INTERFACE_DATA& native) {
  DeviceInterfaceData data;
  std::memcpy(&data.interfaceClassGuid, &native.InterfaceClassGuid, sizeof(GUID));
  data.flags = native.Flags;
  data.reserved = native.Reserved;
  return data;
}

SP_DEVINFO_DATA ToWin32(const DevInfoData& device) {
  SP_DEVINFO_DATA native{};
  native.cbSize = sizeof native;
  std::memcpy(&native.ClassGuid, &device.classGuid, sizeof(GUID));
  native.DevInst = device.devInst;
  native.Reserved = device.reserved;
  return native;
}

DevInfoData FromWin32(const SP_DEVINFO_DATA& native) {
  DevInfoData device;
  std::memcpy(&device.classGuid, &native.ClassGuid, sizeof(GUID));
  device.devInst = native.DevInst;
  device.reserved = native.Reserved;
  return device;
}

GUID ToWin32(const Guid& guid) {
  GUID native;
  std::memcpy(&native, &guid, sizeof native);
  return native;
}

constexpr std::size_t kPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);

}  // namespace

std::uint32_t Win32DeviceStack::GetLastError() { return ::GetLastError(); }

OsHandle Win32DeviceStack::SetupDiGetClassDevsA(const Guid& interfaceClass, std::uint32_t flags) {
  GUID guid = ToWin32(interfaceClass);
  HDEVINFO set = ::SetupDiGetClassDevsA(&guid, nullptr, nullptr, flags);
  return set == INVALID_HANDLE_VALUE ? kInvalidHandle : FromHandle(set);
}

bool Win32DeviceStack::SetupDiEnumDeviceInterfaces(OsHandle set, const Guid& interfaceClass, std::uint32_t index,
                                                   DeviceInterfaceData& data) {
  GUID guid = ToWin32(interfaceClass);
  SP_DEVICE_INTERFACE_DATA native{};
  native.cbSize = sizeof native;
  if (!::SetupDiEnumDeviceInterfaces(AsHandle(set), nullptr, &guid, index, &native)) return false;
  data = FromWin32(native);
  return true;
}

// The caller's path buffer becomes the DevicePath of a detail structure whose size field
// is that of the fixed part (5 on 32-bit Windows, 8 on 64-bit); the required size is given back as
// the path's own size, terminator included.
bool Win32DeviceStack::SetupDiGetDeviceInterfaceDetailA(OsHandle set, const DeviceInterfaceData& data, char* path,
                                                        std::uint32_t pathSize, std::uint32_t* requiredSize,
                                                        DevInfoData* device) {
  SP_DEVICE_INTERFACE_DATA interfaceData = ToWin32(data);
  SP_DEVINFO_DATA deviceData{};
  deviceData.cbSize = sizeof deviceData;
  std::vector<std::uint8_t> detailBuffer;
  PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail = nullptr;
  DWORD detailSize = 0;
  if (path != nullptr && pathSize > 0) {
    detailBuffer.resize(kPathOffset + pathSize);
    detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(detailBuffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    detailSize = static_cast<DWORD>(detailBuffer.size());
  }
  DWORD required = 0;
  BOOL ok = ::SetupDiGetDeviceInterfaceDetailA(AsHandle(set), &interfaceData, detail, detailSize, &required,
                                               device != nullptr ? &deviceData : nullptr);
  DWORD error = ::GetLastError();
  if (requiredSize != nullptr) *requiredSize = required > kPathOffset ? required - kPathOffset : 0;
  if (device != nullptr && (ok || error == ERROR_INSUFFICIENT_BUFFER)) *device = FromWin32(deviceData);
  if (ok && detail != nullptr) {
    std::size_t length = strnlen(detail->DevicePath, pathSize);
    if (length >= pathSize) {
      ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return false;
    }
    std::memcpy(path, detail->DevicePath, length + 1);
  }
  ::SetLastError(error);
  return ok != FALSE;
}

bool Win32DeviceStack::SetupDiGetDeviceInstanceIdA(OsHandle set, const DevInfoData& device, char* buffer,
                                                   std::uint32_t bufferSize, std::uint32_t* requiredSize) {
  SP_DEVINFO_DATA native = ToWin32(device);
  DWORD required = 0;
  BOOL ok = ::SetupDiGetDeviceInstanceIdA(AsHandle(set), &native, buffer, buffer != nullptr ? bufferSize : 0,
                                          &required);
  if (requiredSize != nullptr) *requiredSize = required;
  return ok != FALSE;
}

OsHandle Win32DeviceStack::SetupDiCreateDeviceInfoList() {
  HDEVINFO set = ::SetupDiCreateDeviceInfoList(nullptr, nullptr);
  return set == INVALID_HANDLE_VALUE ? kInvalidHandle : FromHandle(set);
}

bool Win32DeviceStack::SetupDiOpenDeviceInterfaceA(OsHandle set, const char* path, std::uint32_t openFlags,
                                                   DeviceInterfaceData* data) {
  SP_DEVICE_INTERFACE_DATA native{};
  native.cbSize = sizeof native;
  if (!::SetupDiOpenDeviceInterfaceA(AsHandle(set), path, openFlags, data != nullptr ? &native : nullptr))
    return false;
  if (data != nullptr) *data = FromWin32(native);
  return true;
}

bool Win32DeviceStack::SetupDiDestroyDeviceInfoList(OsHandle set) {
  return ::SetupDiDestroyDeviceInfoList(AsHandle(set)) != FALSE;
}

OsHandle Win32DeviceStack::CreateFileA(const char* path, std::uint32_t access, std::uint32_t shareMode,
                                       std::uint32_t creation, std::uint32_t flags) {
  HANDLE file = ::CreateFileA(path, access, shareMode, nullptr, creation, flags, nullptr);
  return file == INVALID_HANDLE_VALUE ? kInvalidHandle : FromHandle(file);
}

bool Win32DeviceStack::CloseHandle(OsHandle handle) { return ::CloseHandle(AsHandle(handle)) != FALSE; }

bool Win32DeviceStack::DeviceIoControl(OsHandle device, std::uint32_t code, const void* in, std::uint32_t inSize,
                                       void* out, std::uint32_t outSize, std::uint32_t* bytesReturned) {
  DWORD returned = 0;
  BOOL ok = ::DeviceIoControl(AsHandle(device), code, const_cast<void*>(in), inSize, out, outSize, &returned,
                              nullptr);
  if (bytesReturned != nullptr) *bytesReturned = returned;
  return ok != FALSE;
}

// A WINUSB.DLL that cannot be bound fails the initialisation with the binding's error,
// so the operation ends as a failure like any other device that does not initialise.
bool Win32DeviceStack::WinUsb_Initialize(OsHandle device, OsHandle* interfaceHandle) {
  if (interfaceHandle == nullptr) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (!winUsb_.Bind()) return false;
  PVOID handle = nullptr;
  if (!winUsb_.initialize(AsHandle(device), &handle)) return false;
  *interfaceHandle = reinterpret_cast<OsHandle>(handle);
  return true;
}

bool Win32DeviceStack::WinUsb_ControlTransfer(OsHandle interfaceHandle, const UsbSetupPacket& setup,
                                              std::uint8_t* buffer, std::uint32_t bufferLength,
                                              std::uint32_t* transferred) {
  if (transferred != nullptr) *transferred = 0;
  if (!winUsb_.Bind()) return false;
  WinUsbBinding::SetupPacket packet{setup.requestType, setup.request, setup.value, setup.index, setup.length};
  ULONG moved = 0;
  BOOL ok = winUsb_.controlTransfer(reinterpret_cast<PVOID>(interfaceHandle), packet, buffer, bufferLength, &moved,
                                    nullptr);
  if (transferred != nullptr) *transferred = moved;
  return ok != FALSE;
}

bool Win32DeviceStack::WinUsb_Free(OsHandle interfaceHandle) {
  if (!winUsb_.Bind()) return false;
  return winUsb_.freeInterface(reinterpret_cast<PVOID>(interfaceHandle)) != FALSE;
}

}  // namespace tessora

namespace tessora {

std::unique_ptr<DeviceWatch> Win32DeviceStack::WatchDevices() { return WatchDeviceInterfaces(); }

std::unique_ptr<DeviceStack> CreateNativeDeviceStack(OsServices& /*os*/) { return std::make_unique<Win32DeviceStack>(); }

}  // namespace tessora

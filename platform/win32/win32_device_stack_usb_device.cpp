// Where the USB device behind an interface is plugged in, and the serial number Windows
// names it by: SETUPAPI finds the interface's device node, and the configuration manager
// walks up from a HID collection or one function of a composite device to the device.
#include <windows.h>
#include <setupapi.h>
#include <cfgmgr32.h>

#include <cctype>
#include <memory>
#include <string>

#include "platform/win32/win32_device_stack.h"

namespace tessora {

namespace {

// A HID collection sits below a USB function, which may sit below a composite device.
constexpr int kLargestDepth = 4;
// Location paths run to a few dozen characters for each hub on the way.
constexpr ULONG kLocationSize = 1024;

struct InfoListRelease {
  void operator()(HDEVINFO set) const { ::SetupDiDestroyDeviceInfoList(set); }
};

struct UsbDeviceNames {
  std::string serial;
  std::string port;
};

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string DeviceInstanceId(DEVINST node) {
  char id[MAX_DEVICE_ID_LEN + 1] = {};
  if (::CM_Get_Device_IDA(node, id, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS) return {};
  return id;
}

// "USB\VID_xxxx&PID_xxxx\..." names a USB device, "USB\VID_xxxx&PID_xxxx&MI_nn\..." one
// function of a composite device.
bool IsUsbDevice(const std::string& instanceId) {
  std::string id = Upper(instanceId);
  return id.rfind("USB\\", 0) == 0 && id.find("&MI_") == std::string::npos;
}

// Windows names a USB device by its serial number, unless it has none, refuses it or is
// told to ignore it (IgnoreHWSerNum): then by a name made from its place, with '&' in it.
std::string SerialFromInstanceId(const std::string& instanceId) {
  std::size_t slash = instanceId.rfind('\\');
  std::string name = slash == std::string::npos ? std::string() : instanceId.substr(slash + 1);
  return name.find('&') == std::string::npos ? name : std::string();
}

// The first of the device's location paths ("PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(4)"),
// else its location information ("Port_#0004.Hub_#0003") where Windows keeps no paths.
std::string Location(DEVINST node) {
  for (ULONG property : {CM_DRP_LOCATION_PATHS, CM_DRP_LOCATION_INFORMATION}) {
    char text[kLocationSize] = {};
    ULONG length = kLocationSize - 2;  // room for a multi-string's two terminators
    if (::CM_Get_DevNode_Registry_PropertyA(node, property, nullptr, text, &length, 0) == CR_SUCCESS &&
        text[0] != '\0')
      return text;
  }
  return {};
}

UsbDeviceNames DescribeUsbDevice(const char* devicePath) {
  if (devicePath == nullptr) return {};
  HDEVINFO handle = ::SetupDiCreateDeviceInfoList(nullptr, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return {};
  std::unique_ptr<void, InfoListRelease> set(handle);
  SP_DEVICE_INTERFACE_DATA interfaceData{};
  interfaceData.cbSize = sizeof interfaceData;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  if (!::SetupDiOpenDeviceInterfaceA(handle, devicePath, 0, &interfaceData)) return {};
  // Asked without a detail buffer the call fails for want of room, yet names the device.
  if (!::SetupDiGetDeviceInterfaceDetailA(handle, &interfaceData, nullptr, 0, nullptr, &device) &&
      ::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
    return {};
  DEVINST node = device.DevInst;
  for (int depth = 0; depth < kLargestDepth; ++depth) {
    std::string instanceId = DeviceInstanceId(node);
    if (IsUsbDevice(instanceId)) return {SerialFromInstanceId(instanceId), Location(node)};
    if (::CM_Get_Parent(&node, node, 0) != CR_SUCCESS) return {};
  }
  return {};
}

}  // namespace

std::string Win32DeviceStack::UsbPortPath(const char* devicePath) { return DescribeUsbDevice(devicePath).port; }

std::string Win32DeviceStack::UsbSerialNumber(const char* devicePath) {
  return DescribeUsbDevice(devicePath).serial;
}

}  // namespace tessora

#include "devlib/qorv_device_library.h"
#include "engine/connection.h"
#include "platform/os_services.h"

namespace tessora {

namespace {

constexpr std::int32_t kConnectBudgetMs = 100;
constexpr std::uint32_t kSearchPauseMs = 100;

// The first listed device that answers a 1-byte memory read at address 0 becomes
// currentDevice; 0 when none does.
bool ProbeListedDevices(EngineContext& context, QorvDeviceLibrary& devices) {
  for (std::uint32_t handle = devices.FirstDevice(); handle != 0; handle = devices.NextDevice(handle)) {
    context.currentDevice = handle;
    std::uint8_t answer = 0;
    if (context.dispatch.DispatchMemoryRead(handle, 0, 1, &answer) != 0) return true;
  }
  context.currentDevice = 0;
  return false;
}

}  // namespace

bool ConnectDriverDevice(EngineContext& context) {
  context.pageSize = 64;
  return FindDriverDevice(context, kConnectBudgetMs) == 0;
}

int FindDriverDevice(EngineContext& context, std::int32_t budgetMilliseconds) {
  if (context.driverDevices == nullptr || context.os == nullptr) return 1;
  QorvDeviceLibrary& devices = *context.driverDevices;
  for (std::int32_t budget = budgetMilliseconds;;) {
    devices.SetInterfaceGuid(context.settings.useWinUsb != 0 ? WinUsbInterfaceGuid : FilterDriverInterfaceGuid);
    devices.BuildDeviceList(false);
    if (devices.DeviceCount() == 0) {
      // With nothing listed there is nothing to wait for: the search ends without a pause.
      context.currentDevice = 0;
      return 1;
    }
    if (ProbeListedDevices(context, devices)) return 0;
    context.os->Sleep(kSearchPauseMs);
    budget -= static_cast<std::int32_t>(kSearchPauseMs);
    if (budget <= 0) return 1;
  }
}

}  // namespace tessora

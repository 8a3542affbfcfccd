#pragma once
#include <cstdint>
#include <memory>

#include "engine/driver_dispatch.h"
#include "engine/settings.h"
#include "engine/stop_request.h"
#include "hid/hid_report_port.h"

namespace tessora {

class OsServices;
class QorvDeviceLibrary;  // driver-interface device list (devlib)
class HidContext;         // HID enumeration tables and the calls behind them (hid)

// The engine's connection state: which device the next request goes to and in what
// page size. One context per program (tests build their own).
struct EngineContext {
  EngineContext(Settings& settingsIn, DriverDispatch& dispatchIn) : settings(settingsIn), dispatch(dispatchIn) {}

  Settings& settings;
  DriverDispatch& dispatch;
  OsServices* os = nullptr;
  QorvDeviceLibrary* driverDevices = nullptr;
  HidContext* hid = nullptr;
  std::unique_ptr<HidReportPort> hidDevice;  // open HID device, when HID is used
  std::uint32_t currentDevice = 0;           // driver device handle, 0 = none
  std::int32_t pageSize = 0;
  const StopRequest* stop = nullptr;  // none: the procedures run to their end
};

inline bool StopRequested(const EngineContext& context) { return context.stop != nullptr && context.stop->Requested(); }

}  // namespace tessora

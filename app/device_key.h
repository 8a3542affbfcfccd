#pragma once
#include <cstdint>
#include <string>

#include "engine/engine_context.h"

namespace tessora {

// A name for a physical device, the same whichever interface reaches it: its serial
// number, "VID_xxxx&PID_xxxx#SERIAL" as a USB instance ID names it; without a serial
// number (none, or "unknown") where it is plugged in, "VID_xxxx&PID_xxxx@PORT"; and
// "VID_xxxx&PID_xxxx" alone when neither is known.
std::string DeviceKey(std::uint16_t vendorId, std::uint16_t productId, const std::string& serial,
                      const std::string& port);

// The serial number and the USB port of the device the engine is connected to, as the
// device stack tells them; empty when unknown or when no device is connected.
struct BoardNames {
  std::string serial;
  std::string port;
};
BoardNames ConnectedBoardNames(const EngineContext& engine);

// The key of the device the engine is connected to, over HID or a driver interface;
// empty when there is none or a driver device has no USB instance ID.
std::string ConnectedDeviceKey(const EngineContext& engine);

}  // namespace tessora

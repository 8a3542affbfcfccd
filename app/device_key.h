#pragma once
#include <cstdint>
#include <string>

#include "engine/engine_context.h"

namespace tessora {

// A name for a physical device, the same whichever interface reaches it:
// "VID_xxxx&PID_xxxx#SERIAL", as a USB instance ID names the device.
std::string DeviceKey(std::uint16_t vendorId, std::uint16_t productId, const std::string& serial);

// The key from a USB instance ID "USB\VID_xxxx&PID_xxxx\SERIAL"; any other form (or a
// device path) is taken whole, with its backslashes made "#".
std::string KeyFromInstanceId(const std::string& instanceId);

// The key of the driver device the engine is connected to; empty when there is none or
// it has no instance ID.
std::string DriverDeviceKey(const EngineContext& engine);

}  // namespace tessora

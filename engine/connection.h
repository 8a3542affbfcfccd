#pragma once
#include <cstdint>

#include "engine/engine_context.h"

namespace tessora {

// Finds a device on the interface the settings select and leaves it ready for the
// transfer layer; sets the page size. False when none answers.
bool ConnectDevice(EngineContext& context);

// The two halves of ConnectDevice.
bool ConnectDriverDevice(EngineContext& context);
bool ConnectHidDevice(EngineContext& context);

// 0 = a listed driver device answered a 1-byte memory read and is now currentDevice, 1 = none.
int FindDriverDevice(EngineContext& context, std::int32_t budgetMilliseconds);

// 0 = the open HID device is the controller, 1 = it is not.
int ProbeHidDevice(EngineContext& context);

}  // namespace tessora

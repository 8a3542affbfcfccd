#include "engine/connection.h"

namespace tessora {

bool ConnectHidDevice(EngineContext& /*context*/) { return false; }

int ProbeHidDevice(EngineContext& /*context*/) { return 1; }

}  // namespace tessora

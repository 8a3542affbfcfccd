#include "engine/connection.h"

namespace tessora {

bool ConnectDevice(EngineContext& context) {
  return context.settings.useHid != 0 ? ConnectHidDevice(context) : ConnectDriverDevice(context);
}

}  // namespace tessora

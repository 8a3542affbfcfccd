#include "engine/connection.h"

namespace tessora {

bool ConnectDriverDevice(EngineContext& context) {
  context.pageSize = 64;
  return FindDriverDevice(context, 100) == 0;
}

int FindDriverDevice(EngineContext& /*context*/, std::int32_t /*budgetMilliseconds*/) { return 1; }

}  // namespace tessora

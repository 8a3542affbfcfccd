#include "app/procedure_lock.h"

#include "app/device_key.h"

namespace tessora {

std::string ProcedureLockName(const EngineContext& engine) {
  std::string key = ConnectedDeviceKey(engine);
  if (key.empty()) return {};
  // In the global namespace, as the request lock, so that every logon session shares it.
  return "Global\\tessora_" + key;
}

LockOutcome ProcedureLock::Take(OsServices& os, const EngineContext& engine) {
  name_ = ProcedureLockName(engine);
  if (name_.empty()) return LockOutcome::Taken;
  std::uint32_t lastError = 0;
  mutex_ = os.CreateMutexA(name_.c_str(), lastError);
  if (!mutex_) return LockOutcome::Unavailable;
  std::uint32_t result = mutex_->Wait(0);
  held_ = result == kWaitObject0 || result == kWaitAbandoned;
  if (held_) return LockOutcome::Taken;
  return result == kWaitTimeout ? LockOutcome::InUse : LockOutcome::Unavailable;
}

ProcedureLock::~ProcedureLock() {
  if (held_) mutex_->Release();
}

}  // namespace tessora

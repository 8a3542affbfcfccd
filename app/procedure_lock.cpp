#include "app/procedure_lock.h"

#include "app/device_key.h"
#include "devlib/qorv_device_library.h"

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
  if (!held_) return result == kWaitTimeout ? LockOutcome::InUse : LockOutcome::Unavailable;
  QorvDevice* device = engine.settings.useHid == 0 && engine.driverDevices != nullptr
                           ? engine.driverDevices->FindByHandle(engine.currentDevice)
                           : nullptr;
  if (device != nullptr) requestLockKept_ = std::make_unique<DeviceLockKeep>(*device);
  return LockOutcome::Taken;
}

ProcedureLock::~ProcedureLock() {
  requestLockKept_.reset();
  if (held_) mutex_->Release();
}

}  // namespace tessora

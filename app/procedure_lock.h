#pragma once
#include <memory>
#include <string>

#include "devlib/device_handles.h"
#include "engine/engine_context.h"
#include "platform/named_mutex.h"
#include "platform/os_services.h"

namespace tessora {

enum class LockOutcome { Taken, InUse, Unavailable };

// Tessora's own lock on a device for the length of a whole procedure, beside the lock
// each request takes: two Tessoras that update, read out or clear the same board would
// otherwise interleave their requests. It is named after the physical device (vendor
// and product ID, and the serial number or else the USB port: see DeviceKey), so that it
// is the same whichever interface reaches the device. While it is held, the request lock
// of a driver device is kept between the procedure's requests (NamedMutex::Keep): where
// each request would otherwise mark the lock anew (Linux), that costs the system a write
// a request, and no other Tessora may use the device meanwhile anyway. Released, keep
// and all, when it goes out of scope.
class ProcedureLock {
 public:
  ProcedureLock() = default;
  ProcedureLock(const ProcedureLock&) = delete;
  ProcedureLock& operator=(const ProcedureLock&) = delete;
  ~ProcedureLock();

  // Takes the lock of the device the engine is connected to, without waiting. A driver
  // device without a USB instance ID cannot be named and goes unlocked.
  LockOutcome Take(OsServices& os, const EngineContext& engine);
  // The name Take used; empty before it.
  const std::string& Name() const { return name_; }

 private:
  std::string name_;
  std::unique_ptr<NamedMutex> mutex_;
  bool held_ = false;
  std::unique_ptr<DeviceLockKeep> requestLockKept_;
};

// The lock's name for the connected device; empty when no device is connected.
std::string ProcedureLockName(const EngineContext& engine);

}  // namespace tessora

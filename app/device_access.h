#pragma once
#include <memory>
#include <string>

#include "engine/engine_context.h"
#include "platform/device_stack.h"

namespace tessora {

struct ShellContext;

// The device side of a run, built once at start-up: the device stack the program talks
// through (real or simulated), the device subsystems over it and the engine's
// connection state.
class DeviceAccess {
 public:
  virtual ~DeviceAccess() = default;
  virtual EngineContext& Engine() = 0;
  // The device stack under the subsystems, for listings that go around them.
  virtual DeviceStack& Stack() = 0;
  // From now on the device side's messages go through the shell's message display.
  virtual void AttachShell(ShellContext& shell) = 0;
  // Keeps what must outlive the run (a simulated board's EEPROM); false with a reason.
  virtual bool Finish(std::string& error) = 0;
};

}  // namespace tessora

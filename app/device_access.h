#pragma once
#include <memory>
#include <string>
#include <vector>

#include "engine/engine_context.h"
#include "platform/device_stack.h"

namespace tessora {

struct ShellContext;
class DeviceAccess;

// One board of a run on every board: its own settings (a read-out takes its size from the
// board's header), device subsystems and connection state, shared with no other board.
struct BoardAccess {
  std::string name;  // serial number, else USB port, else device path
  std::string path;  // of the device interface it was listed by
  std::string port;  // where it is plugged in, as the system names the place; empty when unknown
  // A controller by its interface: one that does not answer failed, where a keyboard on
  // the HID interface is merely not a board.
  bool mustAnswer = false;
  std::unique_ptr<Settings> settings;
  std::unique_ptr<DeviceStack> stack;  // the board's own device stack, when it has one
  std::unique_ptr<DeviceAccess> devices;
};

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
  // The controllers on the interface the settings select, each with device access of its own.
  virtual std::vector<BoardAccess> Boards(const Settings& settings) = 0;
  // A watch that wakes its waiter as boards arrive and leave; null where the devices
  // cannot be watched.
  virtual std::unique_ptr<DeviceWatch> WatchBoards() { return Stack().WatchDevices(); }
  // Keeps what must outlive the run (a simulated board's EEPROM); false with a reason.
  virtual bool Finish(std::string& error) = 0;
  // Whether the devices are the simulated bench's (TESSORA_SIM) rather than the system's.
  virtual bool Simulated() const { return false; }
};

}  // namespace tessora

#pragma once
#include <memory>
#include <string>

#include "app/device_access.h"
#include "devlib/qorv_device_library.h"
#include "engine/qorv_device_dispatch.h"
#include "hid/hid_context.h"
#include "hid/hid_message_sink.h"
#include "platform/device_stack.h"
#include "platform/sim/board_directory.h"

namespace tessora {

// The HID enumeration's messages go through the shell's message display once the shell
// exists; before that (nothing enumerates then) to the debug output.
class ShellHidMessages : public HidMessageSink {
 public:
  explicit ShellHidMessages(OsServices& os) : os_(os) {}
  void Attach(ShellContext& shell) { shell_ = &shell; }
  void ShowMessage(bool ownedByMainWindow, const char* text, const char* caption, std::uint32_t style) override;

 private:
  OsServices& os_;
  ShellContext* shell_ = nullptr;
};

// The device subsystems over one device stack, and the engine's connection state.
class StackDeviceAccess : public DeviceAccess {
 public:
  StackDeviceAccess(Settings& settings, OsServices& os, std::unique_ptr<DeviceStack> stack);
  EngineContext& Engine() override { return engine_; }
  DeviceStack& Stack() override { return *stack_; }
  void AttachShell(ShellContext& shell) override { messages_.Attach(shell); }
  bool Finish(std::string& /*error*/) override { return true; }

 private:
  std::unique_ptr<DeviceStack> stack_;
  ShellHidMessages messages_;
  QorvDeviceLibrary library_;
  QorvDeviceDispatch dispatch_;
  HidContext hid_;
  EngineContext engine_;
};

// A simulated board kept in a directory, reached through the simulated device stack.
class SimulatedDeviceAccess : public DeviceAccess {
 public:
  // Null with a reason when the board directory cannot be used.
  static std::unique_ptr<SimulatedDeviceAccess> Open(const std::string& directory, Settings& settings,
                                                     OsServices& os, std::string& error);
  EngineContext& Engine() override { return devices_->Engine(); }
  DeviceStack& Stack() override { return devices_->Stack(); }
  void AttachShell(ShellContext& shell) override { devices_->AttachShell(shell); }
  bool Finish(std::string& /*error*/) override { return true; }

 private:
  explicit SimulatedDeviceAccess(std::unique_ptr<sim::BoardDirectory> board) : board_(std::move(board)) {}

  std::unique_ptr<sim::BoardDirectory> board_;
  std::unique_ptr<StackDeviceAccess> devices_;
};

// The simulated board named by TESSORA_SIM when it is set, else the given real stack.
std::unique_ptr<DeviceAccess> OpenProgramDevices(Settings& settings, OsServices& os,
                                                 std::unique_ptr<DeviceStack> realStack, std::string& error);

}  // namespace tessora

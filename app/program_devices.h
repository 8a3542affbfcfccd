#pragma once
#include <functional>
#include <memory>
#include <string>

#include "app/device_access.h"
#include "app/device_inventory.h"
#include "devlib/qorv_device_library.h"
#include "engine/qorv_device_dispatch.h"
#include "hid/hid_context.h"
#include "hid/hid_message_sink.h"
#include "platform/device_stack.h"
#include "sim/board/board_directory.h"

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

// Makes a device stack of its own for whoever asks, sharing nothing with the others.
using DeviceStackFactory = std::function<std::unique_ptr<DeviceStack>()>;

// The device subsystems over one device stack, and the engine's connection state.
class StackDeviceAccess : public DeviceAccess {
 public:
  // With a factory each board of a run on every board talks through a stack of its own
  // (no lock, cache or library context shared between the boards' threads); without
  // one they share this stack through views of it.
  StackDeviceAccess(Settings& settings, OsServices& os, std::unique_ptr<DeviceStack> stack,
                    DeviceStackFactory newStack = {});
  EngineContext& Engine() override { return engine_; }
  DeviceStack& Stack() override { return *stack_; }
  void AttachShell(ShellContext& shell) override { messages_.Attach(shell); }
  // Each controller through a view that lists that controller alone.
  std::vector<BoardAccess> Boards(const Settings& settings) override;
  bool Finish(std::string& /*error*/) override { return true; }

 private:
  std::unique_ptr<DeviceStack> stack_;
  DeviceStackFactory newStack_;
  OsServices& os_;
  ShellHidMessages messages_;
  QorvDeviceLibrary library_;
  QorvDeviceDispatch dispatch_;
  HidContext hid_;
  EngineContext engine_;
};

// A simulated bench: one board or several, each kept in a directory of its own (which
// gives it its serial number and place), all reached through one simulated device stack.
class SimulatedDeviceAccess : public DeviceAccess {
 public:
  // directories: one or more separated by ':' (on Windows a drive letter's colon does
  // not separate). Null with a reason when one of them cannot be used.
  static std::unique_ptr<SimulatedDeviceAccess> Open(const std::string& directories, Settings& settings,
                                                     OsServices& os, std::string& error);
  EngineContext& Engine() override { return devices_->Engine(); }
  DeviceStack& Stack() override { return devices_->Stack(); }
  void AttachShell(ShellContext& shell) override { devices_->AttachShell(shell); }
  // Each board through a simulated stack of its own, so that boards never wait for each other.
  std::vector<BoardAccess> Boards(const Settings& settings) override;
  // The board directories, where the `unplugged` files come and go.
  std::unique_ptr<DeviceWatch> WatchBoards() override;
  bool Finish(std::string& /*error*/) override { return true; }
  bool Simulated() const override { return true; }

 private:
  SimulatedDeviceAccess(std::vector<std::unique_ptr<sim::BoardDirectory>> boards, OsServices& os)
      : boards_(std::move(boards)), os_(os) {}

  std::vector<std::unique_ptr<sim::BoardDirectory>> boards_;
  OsServices& os_;
  std::unique_ptr<StackDeviceAccess> devices_;
};

// The simulated bench's board directories, as TESSORA_SIM names them.
std::vector<std::string> SplitBoardDirectories(const std::string& directories);

// The interface the settings select (HID, WinUSB or FilterDriver).
InterfaceKind SelectedInterfaceKind(const Settings& settings);

// The device subsystems over the one device that selector names (a path as --list prints
// it, an instance ID, a serial number, usb:BUS-PORT): they find that device or none.
std::unique_ptr<DeviceAccess> SelectDevice(DeviceAccess& all, Settings& settings, OsServices& os,
                                           const std::string& selector);

// The simulated board named by TESSORA_SIM when it is set, else stacks the factory makes.
std::unique_ptr<DeviceAccess> OpenProgramDevices(Settings& settings, OsServices& os,
                                                 const DeviceStackFactory& newRealStack, std::string& error);

}  // namespace tessora

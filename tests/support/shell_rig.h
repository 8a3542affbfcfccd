#pragma once
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "app/shell_context.h"
#include "tests/support/device_rig.h"
#include "tests/support/memory_settings_store.h"
#include "tests/support/recording_os.h"
#include "tests/support/recording_ui.h"
#include "tests/support/test_support.h"

namespace tessora {
class StackDeviceAccess;
}  // namespace tessora

namespace tessora::test {

// The whole program below its front end: simulated boards behind the simulated device
// stack, the device subsystems as the program's own device access builds them (so the
// HID messages take the shell's way to the screen), and a shell whose UI, debug output
// and settings store are recorded. The settings select the given interface. Boards are
// plugged in as the device rig plugs them, each under a serial number and port of its own.
struct ShellRig : PluggedBoards {
  // FilterDriver, no board yet.
  ShellRig();
  // One board, Board().
  explicit ShellRig(Interface interfaceKind, sim::BoardConfig config = {}, std::size_t eepromSize = 16384);
  ~ShellRig();

  // The settings select this interface.
  void Use(Interface interfaceKind);
  sim::SimBoard& AddBoard(sim::BoardConfig config = {}, std::size_t eepromSize = 16384);
  // A HID device that is not the controller, with 8-byte input reports; its interface index.
  std::size_t AddHidDevice(std::uint16_t vendorId, std::uint16_t productId, std::u16string product);
  // A keyboard: listed like any HID device, but it refuses a read/write open.
  std::size_t AddKeyboard();

  RecordingUi ui;
  RecordingOs os;
  MemorySettingsStore store;
  Settings settings;
  std::unique_ptr<StackDeviceAccess> devices;
  std::unique_ptr<ShellContext> shell;
  CountingSimStack& stack;
  EngineContext& context;
  QorvDeviceLibrary& library;
  HidContext& hid;
};

}  // namespace tessora::test

#pragma once
#include <memory>
#include <string>
#include <vector>

#include "app/program_devices.h"
#include "app/shell_context.h"
#include "platform/sim/sim_board.h"
#include "tests/support/recording_ui.h"
#include "tests/support/test_support.h"

namespace tessora::testing {

enum class Interface { Hid, FilterDriver, WinUsb };

inline const char* NameOf(Interface interfaceKind) {
  const char* const names[] = {"Hid", "FilterDriver", "WinUsb"};
  return names[static_cast<int>(interfaceKind)];
}

// The whole program below its front end: a simulated board behind the simulated device
// stack, the device subsystems, and a shell whose UI, debug output and settings store
// are recorded. The settings select the given interface.
struct ShellRig {
  explicit ShellRig(Interface interfaceKind, sim::BoardConfig config = {}, std::size_t eepromSize = 16384);
  ~ShellRig() { RemoveLockFiles(serial); }

  std::string WriteImage(const std::vector<std::uint8_t>& bytes, const std::string& name = "image.hex");
  std::vector<std::uint8_t>& Eeprom() { return board.EepromPart().Contents(); }
  std::vector<std::string> Trace() const { return board.TraceLines(); }

  TempDir dir;
  std::string serial = UniqueSerial();  // test programs side by side never share a device lock
  sim::SimBoard board;
  RecordingUi ui;
  RecordingOs os;
  MemorySettingsStore store;
  Settings settings;
  std::unique_ptr<StackDeviceAccess> devices;
  std::unique_ptr<ShellContext> shell;
};

enum class Route { Feature, OutputInput, Driver };

// The engine connected to the board over one route, for the engine's own tests. The
// connection's probes are left out of Trace() and of what `fail_after` counts.
struct EngineRig : ShellRig {
  explicit EngineRig(Route route, sim::BoardConfig config = {}, std::size_t eepromSize = 16384);

  std::vector<std::string> Trace() const {
    std::vector<std::string> lines = board.TraceLines();
    return std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(probes), lines.end());
  }

  EngineContext& context;
  std::size_t probes = 0;
};

}  // namespace tessora::testing

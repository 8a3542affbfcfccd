#pragma once
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "app/shell_context.h"
#include "hid/hid_context.h"
#include "sim/board/sim_board.h"
#include "sim/stack/sim_device_stack.h"
#include "tests/support/recording_ui.h"
#include "tests/support/test_support.h"

namespace tessora {
class QorvDeviceLibrary;
class StackDeviceAccess;
}  // namespace tessora

namespace tessora::testing {

enum class Interface { Hid, FilterDriver, WinUsb };

inline const char* NameOf(Interface interfaceKind) {
  const char* const names[] = {"Hid", "FilterDriver", "WinUsb"};
  return names[static_cast<int>(interfaceKind)];
}

// The simulated device stack, counting the opens and I/O-control attempts that reach it.
// With unplugAfterOpen the next opened interface disappears right after its open, so
// its requests fail with an error other than ERROR_CRC; with enumerationFails no device
// list can be had.
class CountingSimStack : public sim::SimDeviceStack {
 public:
  using SimDeviceStack::SimDeviceStack;
  OsHandle CreateFileA(const char* path, std::uint32_t access, std::uint32_t shareMode, std::uint32_t creation,
                       std::uint32_t flags) override {
    ++opens;
    OsHandle handle = SimDeviceStack::CreateFileA(path, access, shareMode, creation, flags);
    for (std::size_t i = 0; unplugAfterOpen && IsUsable(handle) && i < InterfaceCount(); ++i)
      if (Interface(i).path == path) Interface(i).present = false;
    return handle;
  }
  bool DeviceIoControl(OsHandle device, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                       std::uint32_t outSize, std::uint32_t* bytesReturned) override {
    ++ioControls;
    return SimDeviceStack::DeviceIoControl(device, code, in, inSize, out, outSize, bytesReturned);
  }
  OsHandle SetupDiGetClassDevsA(const Guid& guid, std::uint32_t flags) override {
    return enumerationFails ? kInvalidHandle : SimDeviceStack::SetupDiGetClassDevsA(guid, flags);
  }

  int opens = 0;
  int ioControls = 0;
  bool unplugAfterOpen = false;
  bool enumerationFails = false;
};

// Inter-process waits are real time; tests that expect a time-out wait this long.
constexpr std::uint32_t kTestLockTimeoutMs = 100;

// The whole program below its front end: simulated boards behind the simulated device
// stack, the device subsystems, and a shell whose UI, debug output and settings store
// are recorded. The settings select the given interface. Every board gets a serial
// number of its own, so test programs running side by side never share a device lock.
struct ShellRig {
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

  std::string WriteImage(const std::vector<std::uint8_t>& bytes, const std::string& name = "image.hex");
  sim::SimBoard& Board() { return boards.front(); }
  std::vector<std::uint8_t>& Eeprom() { return Board().EepromPart().Contents(); }
  std::vector<std::string> Trace() { return Board().TraceLines(); }

  TempDir dir;
  std::deque<sim::SimBoard> boards;
  std::vector<std::string> serials;
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

enum class Route { Feature, OutputInput, Driver };

// The engine connected to the board over one route, for the engine's own tests. The
// connection's probes are left out of Trace() and of what `fail_after` counts.
struct EngineRig : ShellRig {
  explicit EngineRig(Route route, sim::BoardConfig config = {}, std::size_t eepromSize = 16384);

  std::vector<std::string> Trace() {
    std::vector<std::string> lines = Board().TraceLines();
    return std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(probes), lines.end());
  }

  std::size_t probes = 0;
  CountingProgress progress;
};

}  // namespace tessora::testing

#pragma once
#include <deque>
#include <string>
#include <vector>

#include "devlib/qorv_device_library.h"
#include "engine/engine_context.h"
#include "engine/qorv_device_dispatch.h"
#include "engine/settings.h"
#include "hid/hid_context.h"
#include "sim/board/sim_board.h"
#include "sim/stack/sim_device_stack.h"
#include "tests/support/recording_hid_messages.h"
#include "tests/support/recording_os.h"
#include "tests/support/test_support.h"

namespace tessora::test {

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

// The settings select this interface.
void SelectInterface(Settings& settings, Interface interfaceKind);

// A new board plugged into the stack under a serial number and a USB port of its own, so
// that test programs running side by side never share a device lock.
sim::SimBoard& PlugInBoard(CountingSimStack& stack, std::deque<sim::SimBoard>& boards,
                           std::vector<std::string>& serials, sim::BoardConfig config, std::size_t eepromSize);
// A HID device that is not the controller, with 8-byte input reports; its interface index.
std::size_t PlugInHidDevice(CountingSimStack& stack, std::uint16_t vendorId, std::uint16_t productId,
                            std::u16string product);
// A keyboard: listed like any HID device, but it refuses a read/write open.
std::size_t PlugInKeyboard(CountingSimStack& stack);

// The boards a rig plugs into its stack, and what tests ask of them; the first, Board(),
// is the one a rig made with an interface starts with.
struct PluggedBoards {
  std::string WriteImage(const std::vector<std::uint8_t>& bytes, const std::string& name = "image.hex") {
    return WriteFile(dir.File(name), ImageText(bytes));
  }
  sim::SimBoard& Board() { return boards.front(); }
  std::vector<std::uint8_t>& Eeprom() { return Board().EepromPart().Contents(); }
  std::vector<std::string> Trace() { return Board().TraceLines(); }

  TempDir dir;
  std::deque<sim::SimBoard> boards;
  std::vector<std::string> serials;
};

// The device subsystems below the shell, wired as the program wires them: simulated
// boards behind the simulated device stack, the driver-interface library and its
// dispatch, the HID subsystem, whose messages are recorded, and the engine's context.
// The debug output is recorded and time is virtual. The settings select the given
// interface.
struct DeviceRig : PluggedBoards {
  // FilterDriver, no board yet.
  DeviceRig();
  // One board, Board().
  explicit DeviceRig(Interface interfaceKind, sim::BoardConfig config = {}, std::size_t eepromSize = 16384);
  DeviceRig(const DeviceRig&) = delete;
  DeviceRig& operator=(const DeviceRig&) = delete;

  void Use(Interface interfaceKind) { SelectInterface(settings, interfaceKind); }
  sim::SimBoard& AddBoard(sim::BoardConfig config = {}, std::size_t eepromSize = 16384) {
    return PlugInBoard(stack, boards, serials, config, eepromSize);
  }
  std::size_t AddHidDevice(std::uint16_t vendorId, std::uint16_t productId, std::u16string product) {
    return PlugInHidDevice(stack, vendorId, productId, std::move(product));
  }
  std::size_t AddKeyboard() { return PlugInKeyboard(stack); }

  RecordingOs os;
  Settings settings;
  RecordingHidMessages messages;
  CountingSimStack stack{os};
  QorvDeviceLibrary library{os, stack};
  QorvDeviceDispatch dispatch{library};
  HidContext hid{stack, os, messages};
  EngineContext context{settings, dispatch};
};

enum class Route { Feature, OutputInput, Driver };

// The engine connected to the board over one route, for the engine's own tests. The
// connection's probes are left out of Trace() and of what `fail_after` counts.
struct EngineRig : DeviceRig {
  explicit EngineRig(Route route, sim::BoardConfig config = {}, std::size_t eepromSize = 16384);

  std::vector<std::string> Trace() {
    std::vector<std::string> lines = Board().TraceLines();
    return std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(probes), lines.end());
  }

  std::size_t probes = 0;
  CountingProgress progress;
};

}  // namespace tessora::test

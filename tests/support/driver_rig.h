#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "devlib/qorv_device_library.h"
#include "engine/engine_context.h"
#include "engine/qorv_device_dispatch.h"
#include "platform/sim/sim_device_stack.h"
#include "platform/virtual_clock.h"

namespace tessora::testing {

// The simulated device stack, counting the opens and I/O-control attempts that reach it.
// With unplugAfterOpen the next opened interface disappears right after its open, so
// its requests fail with an error other than ERROR_CRC.
class CountingSimStack : public sim::SimDeviceStack {
 public:
  OsHandle CreateFileA(const char* path, std::uint32_t access, std::uint32_t shareMode, std::uint32_t creation,
                       std::uint32_t flags) override;
  bool DeviceIoControl(OsHandle device, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                       std::uint32_t outSize, std::uint32_t* bytesReturned) override;

  int opens = 0;
  int ioControls = 0;
  bool unplugAfterOpen = false;
};

// Inter-process waits are real time; tests that expect a time-out wait this long.
constexpr std::uint32_t kTestLockTimeoutMs = 100;

// Simulated boards behind SimDeviceStack, the device library over it, and an engine
// context whose driver requests go through the library's dispatch. Every board gets a
// serial number of its own, so test programs running side by side never share a
// device mutex.
struct DriverRig {
  DriverRig();
  ~DriverRig();

  sim::SimBoard& AddBoard(sim::BoardConfig config = {}, std::size_t eepromSize = 16384);

  std::unique_ptr<OsServices> native;
  VirtualClock clock;
  CountingSimStack stack;
  std::vector<std::unique_ptr<sim::SimBoard>> boards;
  std::vector<std::string> serials;
  QorvDeviceLibrary library;
  QorvDeviceDispatch dispatch;
  Settings settings;
  EngineContext context;
};


}  // namespace tessora::testing

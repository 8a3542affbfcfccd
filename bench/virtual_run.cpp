#include "bench/virtual_run.h"

#include <ctime>
#include <filesystem>
#include <fstream>

#include "app/procedures.h"
#include "app/quiet_ui.h"
#include "app/program_devices.h"
#include "platform/native_os_services.h"
#include "sim/stack/sim_device_stack.h"
#include "sim/virtual_clock.h"

namespace tessora::bench {

namespace {

constexpr std::uint32_t kWindowsTimerPeriodUs = 15625;

// Virtual time, with the program's debug output dropped; with refuseFinerTimer it
// behaves as a program that never asks for a finer timer.
class BenchClock : public VirtualClock {
 public:
  BenchClock(OsServices& real, bool refuseFinerTimer) : VirtualClock(real), refuse_(refuseFinerTimer) {}
  void OutputDebugStringA(const char* /*text*/) override {}
  std::uint32_t timeBeginPeriod(std::uint32_t period) override {
    return refuse_ ? kTimerNoCanDo : VirtualClock::timeBeginPeriod(period);
  }

 private:
  static constexpr std::uint32_t kTimerNoCanDo = 97;
  bool refuse_;
};

class NoSettingsStore : public SettingsStore {
 public:
  bool OpenForQuery() override { return false; }
  bool OpenForWrite() override { return false; }
  bool QueryByte(const char*, std::uint8_t&) override { return false; }
  bool WriteByte(const char*, std::uint8_t) override { return false; }
  void Close() override {}
};

int RunProcedure(ShellContext& shell, Procedure procedure, const std::string& imageFile,
                 const std::string& readOutFile) {
  switch (procedure) {
    case Procedure::Update: return UpdateFirmware(shell, imageFile.c_str());
    case Procedure::ReadOut: return ReadOutFirmware(shell, readOutFile.c_str());
    case Procedure::Clear: return ClearEeprom(shell);
    case Procedure::UpdateChanged: break;  // a command-line option: measured on the shipped program only
  }
  return 0;
}

double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace

VirtualResult RunOnVirtualClock(const BenchCase& bench, const sim::BoardConfig& timing, HostTimer timer,
                                const std::string& workDirectory) {
  std::vector<std::uint8_t> image = FullImage();
  std::filesystem::path imageFile = std::filesystem::path(workDirectory) / "image.hex";
  std::ofstream(imageFile) << ImageText(image);

  std::unique_ptr<OsServices> native = CreateNativeOsServices();
  BenchClock clock(*native, timer == HostTimer::WindowsDefault);
  if (timer != HostTimer::Exact) clock.ModelSystemTimer(kWindowsTimerPeriodUs);

  // Update and clear start from a blank part; the read-out finds the image in it.
  std::vector<std::uint8_t> contents =
      bench.procedure == Procedure::ReadOut ? image : std::vector<std::uint8_t>(MaxEepromSize, 0xFF);
  sim::SimBoard board(timing, std::move(contents));
  board.KeepTime(clock);
  board.MeterCpu(clock);
  auto stack = std::make_unique<sim::SimDeviceStack>(clock);
  stack->AttachBoard(board);

  Settings settings;
  settings.useHid = bench.interface == Interface::Hid ? 1 : 0;
  settings.useWinUsb = bench.interface == Interface::WinUsb ? 1 : 0;
  StackDeviceAccess devices(settings, clock, std::move(stack));
  QuietUi ui;
  NoSettingsStore store;
  ShellContext shell(settings, devices.Engine(), ui, clock, store);
  devices.AttachShell(shell);
  shell.silentMode = true;

  VirtualResult result;
  std::uint64_t start = clock.MicrosecondCount();
  double cpuStart = ProcessCpuSeconds();
  result.succeeded =
      RunProcedure(shell, bench.procedure, imageFile.string(), (imageFile.parent_path() / "read-out.hex").string()) == 1;
  result.cpuSeconds = ProcessCpuSeconds() - cpuStart;
  result.boardCpuSeconds = static_cast<double>(board.CpuMicroseconds()) / 1e6;
  result.microseconds = clock.MicrosecondCount() - start;
  result.trace = board.TraceLines();
  result.requests = board.UsbRequests();
  return result;
}

}  // namespace tessora::bench

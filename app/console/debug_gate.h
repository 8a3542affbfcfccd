#pragma once
#include "platform/os_services.h"

namespace tessora {

// The OS services with the debug output switched on or off: on a terminal the program's
// own lines already say what the debug lines would, so they are written only when asked
// for or when standard error goes somewhere else than standard output. Everything else
// passes through unchanged.
class DebugGate : public OsServices {
 public:
  DebugGate(OsServices& os, bool debugOutput) : os_(os), debugOutput_(debugOutput) {}

  void OutputDebugStringA(const char* text) override {
    if (debugOutput_) os_.OutputDebugStringA(text);
  }

  void Sleep(std::uint32_t milliseconds) override { os_.Sleep(milliseconds); }
  std::uint64_t TickCount() override { return os_.TickCount(); }
  std::uint64_t MicrosecondCount() override { return os_.MicrosecondCount(); }
  void SleepUntilMicroseconds(std::uint64_t deadline) override { os_.SleepUntilMicroseconds(deadline); }
  std::uint64_t ThreadCpuMicroseconds() override { return os_.ThreadCpuMicroseconds(); }
  std::uint32_t timeBeginPeriod(std::uint32_t period) override { return os_.timeBeginPeriod(period); }
  std::uint32_t timeEndPeriod(std::uint32_t period) override { return os_.timeEndPeriod(period); }
  OsVersion GetVersionExA() override { return os_.GetVersionExA(); }
  std::unique_ptr<NamedMutex> CreateMutexA(const char* name, std::uint32_t& lastError) override {
    return os_.CreateMutexA(name, lastError);
  }
  OsHandle CreateEventA() override { return os_.CreateEventA(); }
  bool SetEvent(OsHandle event) override { return os_.SetEvent(event); }
  bool ResetEvent(OsHandle event) override { return os_.ResetEvent(event); }
  bool CloseEvent(OsHandle event) override { return os_.CloseEvent(event); }
  std::uint32_t WaitForMultipleObjects(std::uint32_t count, const OsHandle* events,
                                       std::uint32_t milliseconds) override {
    return os_.WaitForMultipleObjects(count, events, milliseconds);
  }

 private:
  OsServices& os_;
  bool debugOutput_;
};

}  // namespace tessora

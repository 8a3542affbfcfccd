#pragma once
#include <atomic>
#include <cstdint>

#include "platform/os_services.h"

namespace tessora {

// OS services whose time is virtual: Sleep advances the clock at once instead of
// waiting, so status polls and protocol pauses cost no real time in tests. Every
// other service is passed on to the real backend it wraps.
class VirtualClock : public OsServices {
 public:
  explicit VirtualClock(OsServices& real) : real_(real) {}

  void Sleep(std::uint32_t milliseconds) override;
  std::uint64_t TickCount() override { return now_.load(); }
  OsVersion GetVersionExA() override { return real_.GetVersionExA(); }
  void OutputDebugStringA(const char* text) override { real_.OutputDebugStringA(text); }
  // Inter-process waits cannot be virtual: another process holds the real mutex. Tests
  // keep such waits short by giving the waiter a short time-out.
  std::unique_ptr<NamedMutex> CreateMutexA(const char* name, std::uint32_t& lastError) override {
    return real_.CreateMutexA(name, lastError);
  }

  // Events are real: they hand reports between threads, which virtual time cannot do.
  OsHandle CreateEventA() override { return real_.CreateEventA(); }
  bool SetEvent(OsHandle event) override { return real_.SetEvent(event); }
  bool ResetEvent(OsHandle event) override { return real_.ResetEvent(event); }
  bool CloseEvent(OsHandle event) override { return real_.CloseEvent(event); }
  std::uint32_t WaitForMultipleObjects(std::uint32_t count, const OsHandle* events,
                                       std::uint32_t milliseconds) override {
    return real_.WaitForMultipleObjects(count, events, milliseconds);
  }

  std::uint64_t SleepCount() const { return sleeps_.load(); }
  std::uint64_t SleptMilliseconds() const { return slept_.load(); }

 private:
  OsServices& real_;
  std::atomic<std::uint64_t> now_{0};
  std::atomic<std::uint64_t> sleeps_{0};
  std::atomic<std::uint64_t> slept_{0};
};

}  // namespace tessora

#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/os_services.h"

namespace tessora {

// OS services whose time is virtual: Sleep advances the clock at once instead of
// waiting, so status polls and protocol pauses cost no real time in tests. Every
// other service is passed on to the real backend it wraps.
class VirtualClock : public OsServices {
 public:
  explicit VirtualClock(OsServices& real) : real_(real) {}

  void Sleep(std::uint32_t milliseconds) override;
  std::uint64_t TickCount() override { return now_.load() / 1000u; }
  std::uint64_t MicrosecondCount() override { return now_.load(); }
  void SleepUntilMicroseconds(std::uint64_t deadline) override;
  // The work done is real, whatever the clock says of the time it took.
  std::uint64_t ThreadCpuMicroseconds() override { return real_.ThreadCpuMicroseconds(); }
  std::uint32_t timeBeginPeriod(std::uint32_t period) override;
  std::uint32_t timeEndPeriod(std::uint32_t period) override;
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

  // Models a system timer that ticks every defaultPeriodUs microseconds, as Windows's
  // does (15625): a Sleep then lasts a whole number of ticks, of the finest period
  // asked for with timeBeginPeriod while one is held. 0 (the default): Sleep is exact.
  void ModelSystemTimer(std::uint32_t defaultPeriodUs);

  std::uint64_t SleepCount() const { return sleeps_.load(); }
  std::uint64_t SleptMilliseconds() const { return slept_.load(); }
  // Periods asked for and not yet given back.
  std::vector<std::uint32_t> HeldTimerPeriods() const;
  std::uint64_t TimerPeriodRequests() const;
  // Sleeps made while no finer timer period was held.
  std::uint64_t SleepsAtDefaultPeriod() const;

 private:
  OsServices& real_;
  std::atomic<std::uint64_t> now_{0};  // microseconds
  std::atomic<std::uint64_t> sleeps_{0};
  std::atomic<std::uint64_t> slept_{0};

  mutable std::mutex timerMutex_;
  std::uint32_t defaultPeriodUs_ = 0;
  std::vector<std::uint32_t> heldPeriods_;
  std::uint64_t periodRequests_ = 0;
  std::uint64_t defaultPeriodSleeps_ = 0;
};

}  // namespace tessora

#pragma once
// The operating-system half of the platform seam. Subsystems never call the OS
// themselves: they are handed one OsServices at start-up, so tests can give them a
// virtual clock and a simulated world instead.

#include <cstdint>
#include <memory>

#include "platform/named_mutex.h"

#include "platform/types.h"

namespace tessora {

struct OsVersion {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t platformId = 0;  // 2 = NT family
};

class OsServices {
 public:
  virtual ~OsServices() = default;

  virtual void Sleep(std::uint32_t milliseconds) = 0;
  // Milliseconds since an arbitrary start; only differences mean anything.
  virtual std::uint64_t TickCount() = 0;
  // The same clock in microseconds, for what must be timed finer than Sleep can.
  virtual std::uint64_t MicrosecondCount() = 0;
  // Returns once MicrosecondCount() has reached the deadline; at once when it has.
  virtual void SleepUntilMicroseconds(std::uint64_t deadline) = 0;
  // The CPU time the calling thread has used, user and system, in microseconds: for what a
  // stretch of work costs, never for timing.
  virtual std::uint64_t ThreadCpuMicroseconds() = 0;
  // Asks for (and gives back) a system timer of the given period in milliseconds, so
  // that Sleep ends that close to the time asked; winmm's calls on Windows, where the
  // default timer ticks every 15.625 ms. 0 (TIMERR_NOERROR) when granted; each granted
  // request is given back with the same period.
  virtual std::uint32_t timeBeginPeriod(std::uint32_t period) = 0;
  virtual std::uint32_t timeEndPeriod(std::uint32_t period) = 0;
  virtual OsVersion GetVersionExA() = 0;
  // One line of debug output (OutputDebugStringA on Windows, standard error elsewhere).
  virtual void OutputDebugStringA(const char* text) = 0;

  // Creates the named mutex, not owned, or opens the existing one of that name
  // (lastError is then kErrorAlreadyExists). Null on failure, with the reason in lastError.
  virtual std::unique_ptr<NamedMutex> CreateMutexA(const char* name, std::uint32_t& lastError) = 0;
  // --- events: auto-reset, created non-signalled, unnamed (see platform/event.h) ---
  // kNullHandle when the event cannot be created.
  virtual OsHandle CreateEventA() = 0;
  virtual bool SetEvent(OsHandle event) = 0;
  virtual bool ResetEvent(OsHandle event) = 0;
  virtual bool CloseEvent(OsHandle event) = 0;
  // Waits for any one of the events: kWaitObject0 + the lowest index that is set (only
  // that event is reset), kWaitTimeout, or kWaitFailed for a bad handle or count.
  virtual std::uint32_t WaitForMultipleObjects(std::uint32_t count, const OsHandle* events,
                                               std::uint32_t milliseconds) = 0;
};

}  // namespace tessora

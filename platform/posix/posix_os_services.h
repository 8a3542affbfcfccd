#pragma once
#include <string>

#include "platform/os_services.h"
#include "platform/posix/posix_events.h"

namespace tessora {

// Linux OS services: nanosleep, the monotonic clock, standard error as debug output,
// mutexes as abstract socket addresses and events of its own.
class PosixOsServices : public OsServices {
 public:
  // Takes the lock namespace from the environment (kLockNamespaceVariable), once.
  PosixOsServices();

  void Sleep(std::uint32_t milliseconds) override;
  std::uint64_t TickCount() override;
  std::uint64_t MicrosecondCount() override;
  void SleepUntilMicroseconds(std::uint64_t deadline) override;
  std::uint64_t ThreadCpuMicroseconds() override;
  // Linux's counterpart of a finer system timer is the calling thread's timer slack.
  std::uint32_t timeBeginPeriod(std::uint32_t period) override;
  std::uint32_t timeEndPeriod(std::uint32_t period) override;
  OsVersion GetVersionExA() override;
  void OutputDebugStringA(const char* text) override;
  std::unique_ptr<NamedMutex> CreateMutexA(const char* name, std::uint32_t& lastError) override;

  OsHandle CreateEventA() override { return events_.Create(); }
  bool SetEvent(OsHandle event) override { return events_.Set(event); }
  bool ResetEvent(OsHandle event) override { return events_.Reset(event); }
  bool CloseEvent(OsHandle event) override { return events_.Close(event); }
  std::uint32_t WaitForMultipleObjects(std::uint32_t count, const OsHandle* events,
                                       std::uint32_t milliseconds) override {
    return events_.WaitForAny(count, events, milliseconds);
  }

 private:
  PosixEventTable events_;
  std::string lockNamespace_;
};

}  // namespace tessora

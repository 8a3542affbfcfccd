#pragma once
#include "platform/os_services.h"

namespace tessora {

// The real Windows calls behind the OS half of the seam.
class Win32OsServices : public OsServices {
 public:
  void Sleep(std::uint32_t milliseconds) override;
  std::uint64_t TickCount() override;
  std::uint64_t MicrosecondCount() override;
  void SleepUntilMicroseconds(std::uint64_t deadline) override;
  std::uint64_t ThreadCpuMicroseconds() override;
  std::uint32_t timeBeginPeriod(std::uint32_t period) override;
  std::uint32_t timeEndPeriod(std::uint32_t period) override;
  OsVersion GetVersionExA() override;
  void OutputDebugStringA(const char* text) override;
  std::unique_ptr<NamedMutex> CreateMutexA(const char* name, std::uint32_t& lastError) override;

  OsHandle CreateEventA() override;
  bool SetEvent(OsHandle event) override;
  bool ResetEvent(OsHandle event) override;
  bool CloseEvent(OsHandle event) override;
  std::uint32_t WaitForMultipleObjects(std::uint32_t count, const OsHandle* events,
                                       std::uint32_t milliseconds) override;
};

}  // namespace tessora

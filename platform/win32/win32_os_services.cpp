#include "platform/win32/win32_os_services.h"

#include <windows.h>
#include <mmsystem.h>

#include "platform/win32/win32_named_mutex.h"

namespace tessora {

void Win32OsServices::Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

std::uint64_t Win32OsServices::TickCount() { return ::GetTickCount64(); }

std::uint64_t Win32OsServices::MicrosecondCount() {
  LARGE_INTEGER frequency{};
  LARGE_INTEGER counter{};
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&counter);
  std::uint64_t ticks = static_cast<std::uint64_t>(counter.QuadPart);
  std::uint64_t perSecond = static_cast<std::uint64_t>(frequency.QuadPart);
  return ticks / perSecond * 1000000u + ticks % perSecond * 1000000u / perSecond;
}

// Whole milliseconds are slept; what is left below one is given up in time slices, as
// Sleep cannot wait less than a timer tick.
void Win32OsServices::SleepUntilMicroseconds(std::uint64_t deadline) {
  for (std::uint64_t now = MicrosecondCount(); now < deadline; now = MicrosecondCount()) {
    std::uint64_t left = deadline - now;
    ::Sleep(left >= 1000u ? static_cast<DWORD>(left / 1000u) : 0);
  }
}

// Counted in 100 ns units, as the scheduler's clock ticks charge the thread: a stretch far
// shorter than a tick may read as none or as a whole tick.
std::uint64_t Win32OsServices::ThreadCpuMicroseconds() {
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!::GetThreadTimes(::GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
  auto units = [](const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  };
  return (units(kernel) + units(user)) / 10u;
}

std::uint32_t Win32OsServices::timeBeginPeriod(std::uint32_t period) { return ::timeBeginPeriod(period); }

std::uint32_t Win32OsServices::timeEndPeriod(std::uint32_t period) { return ::timeEndPeriod(period); }

OsVersion Win32OsServices::GetVersionExA() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof(info);  // 148
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!::GetVersionExA(&info)) return OsVersion{};
#pragma GCC diagnostic pop
  return OsVersion{info.dwMajorVersion, info.dwMinorVersion, info.dwPlatformId};
}

void Win32OsServices::OutputDebugStringA(const char* text) {
  if (text != nullptr) ::OutputDebugStringA(text);
}

std::unique_ptr<NamedMutex> Win32OsServices::CreateMutexA(const char* name, std::uint32_t& lastError) {
  return Win32NamedMutex::Open(name, lastError);
}

}  // namespace tessora

#include "platform/native_os_services.h"

namespace tessora {

std::unique_ptr<OsServices> CreateNativeOsServices() { return std::make_unique<Win32OsServices>(); }

}  // namespace tessora

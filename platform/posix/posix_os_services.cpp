#include "platform/posix/posix_os_services.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/posix/posix_named_mutex.h"

namespace tessora {

void PosixOsServices::Sleep(std::uint32_t milliseconds) {
  timespec remaining{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  // A signal must not shorten a pause the bus protocol depends on.
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

std::uint64_t PosixOsServices::TickCount() { return MicrosecondCount() / 1000u; }

std::uint64_t PosixOsServices::MicrosecondCount() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000u;
}

void PosixOsServices::SleepUntilMicroseconds(std::uint64_t deadline) {
  timespec until{static_cast<time_t>(deadline / 1000000u), static_cast<long>(deadline % 1000000u) * 1000L};
  // An absolute deadline: a signal that interrupts the wait does not lengthen it.
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
  }
}

// Linux is reported as an NT-family system of the newest kind, so that names of
// inter-process objects take the global form there as on current Windows.
OsVersion PosixOsServices::GetVersionExA() { return OsVersion{10, 0, 2}; }

void PosixOsServices::OutputDebugStringA(const char* text) {
  if (text == nullptr) return;
  std::size_t length = std::strlen(text);
  std::fputs(text, stderr);
  if (length == 0 || text[length - 1] != '\n') std::fputc('\n', stderr);
  std::fflush(stderr);
}

std::unique_ptr<NamedMutex> PosixOsServices::CreateMutexA(const char* name, std::uint32_t& lastError) {
  return PosixNamedMutex::Open(name, lastError);
}

}  // namespace tessora

#include "platform/native_os_services.h"

namespace tessora {

std::unique_ptr<OsServices> CreateNativeOsServices() { return std::make_unique<PosixOsServices>(); }

}  // namespace tessora

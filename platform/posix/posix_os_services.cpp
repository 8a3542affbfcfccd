#include "platform/posix/posix_os_services.h"

#include <sys/prctl.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/posix/posix_named_mutex.h"

namespace tessora {

PosixOsServices::PosixOsServices() {
  const char* configured = std::getenv(kLockNamespaceVariable);
  if (configured != nullptr) lockNamespace_ = configured;
}

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

std::uint64_t PosixOsServices::ThreadCpuMicroseconds() {
  timespec used{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &used);
  return static_cast<std::uint64_t>(used.tv_sec) * 1000000u + static_cast<std::uint64_t>(used.tv_nsec) / 1000u;
}

namespace {

constexpr std::uint32_t kTimerNoCanDo = 97;  // TIMERR_NOCANDO

// A sleep may end up to the thread's timer slack late (50 us by default), so that the
// kernel can merge wake-ups; a thread that holds a fine timer gets the least slack.
// Slack belongs to the thread, and so does this record of it.
struct FineTimerHold {
  std::uint32_t depth = 0;
  long savedSlackNs = 0;
};
thread_local FineTimerHold fineTimerHold;

}  // namespace

std::uint32_t PosixOsServices::timeBeginPeriod(std::uint32_t period) {
  if (period == 0) return kTimerNoCanDo;
  if (fineTimerHold.depth++ == 0) {
    fineTimerHold.savedSlackNs = prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
  }
  return 0;
}

std::uint32_t PosixOsServices::timeEndPeriod(std::uint32_t period) {
  if (period == 0 || fineTimerHold.depth == 0) return kTimerNoCanDo;
  if (--fineTimerHold.depth == 0 && fineTimerHold.savedSlackNs > 0)
    prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(fineTimerHold.savedSlackNs), 0, 0, 0);
  return 0;
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
  return PosixNamedMutex::Open(name, lockNamespace_, lastError);
}

}  // namespace tessora

#include "platform/native_os_services.h"

namespace tessora {

std::unique_ptr<OsServices> CreateNativeOsServices() { return std::make_unique<PosixOsServices>(); }

}  // namespace tessora

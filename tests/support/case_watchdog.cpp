#include "tests/support/case_watchdog.h"

#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tessora::test {

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(200);

}  // namespace

CaseWatchdog::CaseWatchdog(std::chrono::seconds limit) : limit_(limit), watcher_(&CaseWatchdog::Watch, this) {}

CaseWatchdog::~CaseWatchdog() {
  finished_ = true;
  watcher_.join();
}

void CaseWatchdog::OnTestStart(const ::testing::TestInfo& test) {
  std::lock_guard lock(mutex_);
  running_ = std::string(test.test_suite_name()) + "." + test.name();
  started_ = std::chrono::steady_clock::now();
}

void CaseWatchdog::OnTestEnd(const ::testing::TestInfo&) {
  std::lock_guard lock(mutex_);
  running_.clear();
}

void CaseWatchdog::Watch() {
  while (!finished_) {
    std::this_thread::sleep_for(kPollInterval);
    std::lock_guard lock(mutex_);
    if (!running_.empty() && std::chrono::steady_clock::now() - started_ > limit_) StopProgram(running_);
  }
}

void CaseWatchdog::StopProgram(const std::string& name) {
  std::fprintf(stderr, "\n[ WATCHDOG ] %s is still running after %lld s; the test program stops here.\n", name.c_str(),
               static_cast<long long>(limit_.count()));
  std::fprintf(stdout, "[  FAILED  ] %s (stopped by the watchdog)\n", name.c_str());
  std::fflush(stderr);
  std::fflush(stdout);
  // At once, without the exit handlers: the hung thread may hold what they would wait for.
#ifdef _WIN32
  TerminateProcess(GetCurrentProcess(), 3);
#endif
  std::_Exit(3);
}

}  // namespace tessora::test

// The entry of every test program: GoogleTest with a watchdog over each case and, on
// Linux, a lock namespace of the program's own for the inter-process locks.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "tests/support/case_watchdog.h"
#include "tests/support/test_support.h"

#ifndef _WIN32
#include "platform/posix/posix_named_mutex.h"
#endif

namespace {

// Far above the slowest case (a few seconds under Wine and the sanitizers), far below the
// time-out of the whole test program.
constexpr std::chrono::seconds kCaseLimit{90};

#ifndef _WIN32
// The inter-process locks of this test program and of the programs it starts live in a
// namespace of their own, so that two test runs on one machine never see each other's
// locks. A program started by a test keeps its parent's namespace.
class PrivateLockNamespace {
 public:
  PrivateLockNamespace() {
    if (std::getenv(tessora::kLockNamespaceVariable) != nullptr) return;
    setenv(tessora::kLockNamespaceVariable, ("tests-" + tessora::test::UniqueSerial()).c_str(), 1);
    set_ = true;
  }
  ~PrivateLockNamespace() {
    if (set_) unsetenv(tessora::kLockNamespaceVariable);
  }

 private:
  bool set_ = false;
};
#endif

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
#ifndef _WIN32
  PrivateLockNamespace locks;
#endif
  // GoogleTest owns the listener; the watchdog is ended before the program's globals.
  auto* watchdog = new tessora::test::CaseWatchdog(kCaseLimit);
  ::testing::UnitTest::GetInstance()->listeners().Append(watchdog);
  int status = RUN_ALL_TESTS();
  delete ::testing::UnitTest::GetInstance()->listeners().Release(watchdog);
  return status;
}

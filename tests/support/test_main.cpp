// The entry of every test program: GoogleTest with a watchdog over each case and, on
// Linux, a lock place of the program's own for the inter-process locks.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>

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
// The lock files of this test program and of the programs it starts live in a directory
// of their own, so that two test runs on one machine never see each other's locks and
// nothing is left in /run/lock. A program started by a test keeps its parent's place.
class PrivateLockPlace {
 public:
  PrivateLockPlace() {
    if (std::getenv(tessora::kLockDirectoryVariable) != nullptr) return;
    directory_ = std::make_unique<tessora::testing::TempDir>();
    setenv(tessora::kLockDirectoryVariable, directory_->Path().c_str(), 1);
  }
  ~PrivateLockPlace() {
    if (directory_) unsetenv(tessora::kLockDirectoryVariable);
  }

 private:
  std::unique_ptr<tessora::testing::TempDir> directory_;
};
#endif

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
#ifndef _WIN32
  PrivateLockPlace locks;
#endif
  // GoogleTest owns the listener; the watchdog is ended before the program's globals.
  auto* watchdog = new tessora::testing::CaseWatchdog(kCaseLimit);
  ::testing::UnitTest::GetInstance()->listeners().Append(watchdog);
  int status = RUN_ALL_TESTS();
  delete ::testing::UnitTest::GetInstance()->listeners().Release(watchdog);
  return status;
}

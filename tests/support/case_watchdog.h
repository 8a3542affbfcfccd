#pragma once
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>

namespace tessora::test {

// Ends the test program when one case runs longer than the limit, naming the case, so
// that a case that hangs fails by name instead of taking the whole suite down with it.
// It only polls a clock: a watchdog that waited for a wake-up could lose it as the case
// it guards did.
class CaseWatchdog : public ::testing::EmptyTestEventListener {
 public:
  explicit CaseWatchdog(std::chrono::seconds limit);
  ~CaseWatchdog() override;

  void OnTestStart(const ::testing::TestInfo& test) override;
  void OnTestEnd(const ::testing::TestInfo& test) override;

 private:
  void Watch();
  [[noreturn]] void StopProgram(const std::string& name);

  const std::chrono::seconds limit_;
  std::mutex mutex_;
  std::string running_;  // empty between cases
  std::chrono::steady_clock::time_point started_;
  std::atomic<bool> finished_{false};
  std::thread watcher_;
};

}  // namespace tessora::test

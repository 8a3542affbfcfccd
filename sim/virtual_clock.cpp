#include "sim/virtual_clock.h"

#include <algorithm>

namespace tessora {

namespace {

constexpr std::uint32_t kTimerNoError = 0;
constexpr std::uint32_t kTimerNoCanDo = 97;  // TIMERR_NOCANDO

}  // namespace

void VirtualClock::Sleep(std::uint32_t milliseconds) {
  std::uint64_t duration = std::uint64_t{milliseconds} * 1000u;
  {
    std::lock_guard lock(timerMutex_);
    if (heldPeriods_.empty()) ++defaultPeriodSleeps_;
    std::uint64_t period = defaultPeriodUs_;
    if (period != 0 && !heldPeriods_.empty())
      period = std::min<std::uint64_t>(period, *std::min_element(heldPeriods_.begin(), heldPeriods_.end()) * 1000u);
    if (period != 0) duration = (duration + period - 1) / period * period;
  }
  ++sleeps_;
  slept_ += milliseconds;
  now_ += duration;
}

void VirtualClock::SleepUntilMicroseconds(std::uint64_t deadline) {
  std::uint64_t now = now_.load();
  while (now < deadline && !now_.compare_exchange_weak(now, deadline)) {
  }
}

std::uint32_t VirtualClock::timeBeginPeriod(std::uint32_t period) {
  if (period == 0) return kTimerNoCanDo;
  std::lock_guard lock(timerMutex_);
  heldPeriods_.push_back(period);
  ++periodRequests_;
  return kTimerNoError;
}

std::uint32_t VirtualClock::timeEndPeriod(std::uint32_t period) {
  std::lock_guard lock(timerMutex_);
  auto held = std::find(heldPeriods_.begin(), heldPeriods_.end(), period);
  if (held == heldPeriods_.end()) return kTimerNoCanDo;
  heldPeriods_.erase(held);
  return kTimerNoError;
}

void VirtualClock::ModelSystemTimer(std::uint32_t defaultPeriodUs) {
  std::lock_guard lock(timerMutex_);
  defaultPeriodUs_ = defaultPeriodUs;
}

std::vector<std::uint32_t> VirtualClock::HeldTimerPeriods() const {
  std::lock_guard lock(timerMutex_);
  return heldPeriods_;
}

std::uint64_t VirtualClock::TimerPeriodRequests() const {
  std::lock_guard lock(timerMutex_);
  return periodRequests_;
}

std::uint64_t VirtualClock::SleepsAtDefaultPeriod() const {
  std::lock_guard lock(timerMutex_);
  return defaultPeriodSleeps_;
}

}  // namespace tessora

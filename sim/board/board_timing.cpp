#include "sim/board/board_timing.h"

#include <algorithm>

namespace tessora::sim {

std::uint64_t BusMicroseconds(const BoardConfig& config, const BusTransaction& transaction) {
  constexpr std::uint64_t kBitsPerByte = 9;
  std::uint64_t bits = 1 + kBitsPerByte + 1;  // start, address, stop
  if (transaction.acknowledged) {
    bits += kBitsPerByte * (transaction.subaddressBytes + transaction.dataBytes);
    if (transaction.read && transaction.subaddressBytes > 0) bits += 1 + kBitsPerByte;  // repeated start, address
  }
  std::uint64_t khz = std::max<std::uint32_t>(config.busKhz, 1);
  return (bits * 1000u + khz - 1) / khz;
}

void BoardTiming::WaitUntil(std::uint64_t deadline) {
  std::uint64_t aim = deadline - std::min(deadline, overrunUs_);
  std::uint64_t woke = clock_->MicrosecondCount();
  if (aim > woke) {
    clock_->SleepUntilMicroseconds(aim);
    woke = clock_->MicrosecondCount();
  }
  // What the board's waits have overrun in all is made up by the next ones, never more:
  // no request answers sooner than its model allows after the ones before it.
  std::int64_t overrun = static_cast<std::int64_t>(overrunUs_) + static_cast<std::int64_t>(woke - deadline);
  overrunUs_ = overrun > 0 ? static_cast<std::uint64_t>(overrun) : 0;
}

void BoardTiming::Arrive() {
  if (clock_ != nullptr) arrived_ = clock_->MicrosecondCount();
}

std::uint64_t BoardTiming::RequestStart() {
  std::uint64_t start = arrived_.value_or(clock_->MicrosecondCount());
  arrived_.reset();
  return start;
}

void BoardTiming::Request() {
  ++requests_;
  if (clock_ == nullptr) return;
  WaitUntil(RequestStart() + config_.latencyUs);
}

std::uint64_t BoardTiming::Schedule(std::uint64_t arrival, const BusTransaction& transaction) {
  std::uint64_t start = std::max({arrival, busFreeAt_, eepromReadyAt_});
  busFreeAt_ = start + BusMicroseconds(config_, transaction);
  if (!transaction.read && transaction.acknowledged) eepromReadyAt_ = busFreeAt_ + config_.writeCycleUs;
  return busFreeAt_;
}

void BoardTiming::RequestThroughBus(const BusTransaction& transaction) {
  ++requests_;
  if (clock_ == nullptr) return;
  WaitUntil(Schedule(RequestStart() + config_.latencyUs, transaction));
}

void BoardTiming::StartBusCommand(const BusTransaction& transaction) {
  ++requests_;
  if (clock_ == nullptr) return;
  std::uint64_t arrival = RequestStart() + config_.latencyUs;
  std::uint64_t end = Schedule(arrival, transaction);
  commandDoneAt_ = std::max(end, transaction.read ? end : eepromReadyAt_);
  WaitUntil(arrival);
}

bool BoardTiming::CommandRunning() { return clock_ != nullptr && clock_->MicrosecondCount() < commandDoneAt_; }

}  // namespace tessora::sim

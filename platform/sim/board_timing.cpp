#include "platform/sim/board_timing.h"

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

void BoardTiming::Request() {
  if (clock_ == nullptr) return;
  clock_->SleepUntilMicroseconds(clock_->MicrosecondCount() + config_.latencyUs);
}

std::uint64_t BoardTiming::Schedule(std::uint64_t arrival, const BusTransaction& transaction) {
  std::uint64_t start = std::max({arrival, busFreeAt_, eepromReadyAt_});
  busFreeAt_ = start + BusMicroseconds(config_, transaction);
  if (!transaction.read && transaction.acknowledged) eepromReadyAt_ = busFreeAt_ + config_.writeCycleUs;
  return busFreeAt_;
}

void BoardTiming::RequestThroughBus(const BusTransaction& transaction) {
  if (clock_ == nullptr) return;
  clock_->SleepUntilMicroseconds(Schedule(clock_->MicrosecondCount() + config_.latencyUs, transaction));
}

void BoardTiming::StartBusCommand(const BusTransaction& transaction) {
  if (clock_ == nullptr) return;
  std::uint64_t arrival = clock_->MicrosecondCount() + config_.latencyUs;
  std::uint64_t end = Schedule(arrival, transaction);
  commandDoneAt_ = std::max(end, transaction.read ? end : eepromReadyAt_);
  clock_->SleepUntilMicroseconds(arrival);
}

bool BoardTiming::CommandRunning() { return clock_ != nullptr && clock_->MicrosecondCount() < commandDoneAt_; }

}  // namespace tessora::sim

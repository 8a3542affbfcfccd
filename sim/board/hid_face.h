#pragma once
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

#include "sim/board/sim_board.h"

namespace tessora::sim {

// The controller's HID face: report ID 0xFF carries a command in byte 1 (0x01 memory
// write, 0x04 bus read, 0x05 bus write). A bus read's answer comes back in the same kind
// of report it was asked in: the next feature report fetched, or the next input report.
class HidFace {
 public:
  static constexpr std::uint8_t kReportId = 0xFF;
  static constexpr std::uint8_t kMemoryWrite = 0x01;
  static constexpr std::uint8_t kBusRead = 0x04;
  static constexpr std::uint8_t kBusWrite = 0x05;

  explicit HidFace(SimBoard& board) : board_(board) {}

  SimBoard& Board() { return board_; }
  const SimBoard& Board() const { return board_; }

  bool SetFeature(const std::uint8_t* report, std::uint32_t length);
  bool GetFeature(std::uint8_t* report, std::uint32_t length);
  bool WriteOutput(const std::uint8_t* report, std::uint32_t length);
  // False when no input report is waiting: the model never blocks its caller.
  bool ReadInput(std::uint8_t* report, std::uint32_t length, std::uint32_t* read);
  bool InputWaiting() const;
  // An input report the device sends of its own accord.
  void QueueInput(std::vector<std::uint8_t> report);

 private:
  // Carries out one request as the device received it (length bytes of it); the
  // answer, if the request has one, is returned.
  std::optional<std::vector<std::uint8_t>> Execute(const std::uint8_t* report, std::uint32_t length,
                                                   std::uint32_t answerLength, bool& accepted);

  SimBoard& board_;
  mutable std::mutex mutex_;
  std::optional<std::vector<std::uint8_t>> featureAnswer_;
  std::deque<std::vector<std::uint8_t>> inputReports_;
};

}  // namespace tessora::sim

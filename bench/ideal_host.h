#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_case.h"
#include "platform/os_services.h"
#include "sim/board/board_config.h"
#include "sim/board/board_timing.h"
#include "sim/virtual_clock.h"

namespace tessora::bench {

// A host that carries requests to a board of the given timing on a clock of its own, with
// the board's own timing model, and takes no time of its own.
class IdealHost {
 public:
  explicit IdealHost(const sim::BoardConfig& timing);

  // The fewest USB requests the interface needs for the transaction, each sent the moment
  // it can be answered: HID one report, and the answer's report for a read; the driver
  // interfaces the command, one status read that arrives as the transaction (and a
  // write's cycle) ends, and a read's data fetch.
  void CarryPerfectly(Interface interface, const sim::BusTransaction& transaction);
  // One of the board's trace lines, as its requests go with the pauses the protocol
  // prescribes: the FilterDriver's pause after a command, then status reads 1 ms apart
  // until one reports the transaction done, with no pause after that one.
  void CarryOnSchedule(const std::string& traceLine);

  std::uint64_t Microseconds() { return clock_.MicrosecondCount(); }
  std::uint64_t Requests() const { return timing_.Requests(); }

 private:
  std::unique_ptr<OsServices> native_;
  VirtualClock clock_;
  sim::BoardConfig config_;
  sim::BoardTiming timing_;
};

// Microseconds the traced requests take on schedule (CarryOnSchedule).
std::uint64_t ScheduleMicroseconds(const std::vector<std::string>& traceLines, const sim::BoardConfig& timing);

}  // namespace tessora::bench

#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "sim/board/board_config.h"

namespace tessora::bench {

// How an ideal host would carry out the board's logical requests (its trace lines).
enum class HostPace {
  // The fewest USB requests the transport needs, each sent the moment it can be
  // answered: one status read per bus command, timed to find the transaction done.
  PhysicalBound,
  // The same requests with the pauses the bus protocol prescribes: the FilterDriver's
  // pause after a command, 1 ms after every status read, polling until done.
  ProtocolSchedule,
};

// Microseconds the requests take on a board of that timing, replayed on a clock of
// their own with the board's own timing model.
std::uint64_t IdealMicroseconds(const std::vector<std::string>& traceLines, const sim::BoardConfig& timing,
                                HostPace pace);

}  // namespace tessora::bench

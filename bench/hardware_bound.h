#pragma once
#include <cstdint>
#include <vector>

#include "bench/bench_case.h"
#include "sim/board/board_config.h"
#include "sim/board/board_timing.h"

namespace tessora::bench {

// The bus transactions any correct host needs for the procedure on a board holding
// `contents` (the image, for an update): an update erases the header page first and then
// writes and reads back every page, the header's last; a clear writes and reads back every
// page of the part; a read-out reads the size its header gives, and --update-changed on a
// board that holds the image reads the image, in the longest reads the controller serves.
// Finding the device and probing the EEPROM are left out: a host may take what the first
// transactions answer for them.
std::vector<sim::BusTransaction> FewestTransactions(Procedure procedure, const std::vector<std::uint8_t>& contents,
                                                    std::uint32_t pageSize);

// What the hardware allows: the fewest transactions, each carried with the fewest USB
// requests the interface needs, each perfectly timed.
struct HardwareBound {
  std::uint64_t microseconds = 0;
  std::uint64_t requests = 0;
};

HardwareBound BoundFor(const BenchCase& bench, const std::vector<std::uint8_t>& contents,
                       const sim::BoardConfig& timing);

}  // namespace tessora::bench

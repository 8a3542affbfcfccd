#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "bench/bench_case.h"

namespace tessora::bench {

// The sleeps of the run's host: exact, or a Windows system timer that ticks every
// 15.625 ms, either left as it is or raised to 1 ms when the program asks.
enum class HostTimer { Exact, WindowsDefault, WindowsRaised };

struct VirtualResult {
  bool succeeded = false;
  std::uint64_t microseconds = 0;
  double cpuSeconds = 0;  // the work itself: this process's CPU time for the run
  double boardCpuSeconds = 0;  // what of it the simulated board took
  std::uint64_t requests = 0;  // the USB requests the board served
  std::vector<std::string> trace;  // the board's logical requests
};

// Runs the procedure in this process, through the program's own procedures, the
// simulated device stack and a timing board, all on a virtual clock.
VirtualResult RunOnVirtualClock(const BenchCase& bench, const sim::BoardConfig& timing, HostTimer timer,
                                const std::string& workDirectory);

}  // namespace tessora::bench

#pragma once
#include <cstdint>
#include <string>

#include "bench/bench_case.h"

namespace tessora::bench {

struct ProgramResult {
  bool succeeded = false;
  double wallSeconds = 0;
  double cpuSeconds = 0;  // user and system time of the program
};

// Runs the shipped program on a fresh timing board in its own directory under
// workDirectory, in real time: median wall time of `runs` runs, and that run's CPU time.
ProgramResult RunProgram(const std::string& program, const BenchCase& bench, const sim::BoardConfig& timing,
                         int runs, const std::string& workDirectory);

}  // namespace tessora::bench

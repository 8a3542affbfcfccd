#pragma once
#include <cstdint>
#include <string>

#include "bench/bench_case.h"

namespace tessora::bench {

struct ProgramResult {
  bool succeeded = false;
  double wallSeconds = 0;
  double cpuSeconds = 0;  // user and system time of the program
  double boardCpuSeconds = 0;  // what of it the simulated boards took (their cpu.log)
};

// Runs the shipped program on fresh timing boards, each in its own directory under
// workDirectory, in real time: median wall time of `runs` runs, and that run's CPU time.
// With more than one board the program runs with --all on the whole bench.
ProgramResult RunProgram(const std::string& program, const BenchCase& bench, const sim::BoardConfig& timing,
                         int runs, const std::string& workDirectory, int boards = 1);

}  // namespace tessora::bench

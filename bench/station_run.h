#pragma once
#include <string>

#include "bench/bench_case.h"

namespace tessora::bench {

// The shipped program as a station (--station) on timing boards, in real time.
struct StationFigures {
  bool succeeded = false;
  double seconds = 0;         // from plugging the boards in to the last one's result line
  double firstRequest = 0;    // from plugging the first board in to the first request it serves
};

// A station waiting on `boards` unplugged timing boards has all of them plugged in at once
// and updates them; the median of `runs` stations.
StationFigures MeasureStation(const std::string& program, Interface interface, const sim::BoardConfig& timing,
                              int runs, const std::string& workDirectory, int boards);

// The CPU time, in % of the wall time, of a station waiting `seconds` with no board plugged
// in; negative when it could not be measured.
double IdleStationCpuPercent(const std::string& program, const std::string& workDirectory, double seconds);

}  // namespace tessora::bench

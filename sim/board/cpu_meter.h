#pragma once
#include <cstdint>

#include "platform/os_services.h"

namespace tessora::sim {

// The CPU time a board takes to serve its requests, on the threads that send them. In the
// field the board is hardware: what the simulation spends on it (its timing waits, its
// files, its trace) is no part of the program's own work, and a meter tells the two apart.
class CpuMeter {
 public:
  // Spans count from now on, on this thread CPU clock. Its reads are not free either: the
  // meter measures one once, and counts the reads each span takes as the board's too.
  void Start(OsServices& os);
  std::uint64_t Microseconds() const { return nanoseconds_ / 1000u; }

  // One request, from construction to destruction; nothing while the meter is not started.
  class Span {
   public:
    explicit Span(CpuMeter& meter)
        : meter_(meter), start_(meter.os_ != nullptr ? meter.os_->ThreadCpuMicroseconds() : 0) {}
    ~Span();
    Span(const Span&) = delete;
    Span& operator=(const Span&) = delete;

   private:
    CpuMeter& meter_;
    std::uint64_t start_;
  };

 private:
  OsServices* os_ = nullptr;
  std::uint64_t readNanoseconds_ = 0;
  std::uint64_t nanoseconds_ = 0;
};

}  // namespace tessora::sim

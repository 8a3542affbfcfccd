#include "sim/board/cpu_meter.h"

namespace tessora::sim {

namespace {

constexpr std::uint64_t kCalibrationReads = 200;

}  // namespace

void CpuMeter::Start(OsServices& os) {
  std::uint64_t first = os.ThreadCpuMicroseconds();
  std::uint64_t last = first;
  for (std::uint64_t read = 0; read < kCalibrationReads; ++read) last = os.ThreadCpuMicroseconds();
  readNanoseconds_ = (last - first) * 1000u / kCalibrationReads;
  os_ = &os;
}

// What lies between the span's two reads holds about one read's cost; the other read's
// half before and after goes on the board as well.
CpuMeter::Span::~Span() {
  if (meter_.os_ == nullptr) return;
  meter_.nanoseconds_ += (meter_.os_->ThreadCpuMicroseconds() - start_) * 1000u + meter_.readNanoseconds_;
}

}  // namespace tessora::sim

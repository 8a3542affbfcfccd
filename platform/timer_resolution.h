#pragma once
#include <cstdint>

#include "platform/os_services.h"

namespace tessora {

// Holds a 1 ms system timer for its lifetime. The bus protocol pauses 1 ms between
// status polls; with the default Windows timer every such pause lasts a whole 15.625 ms
// tick, which multiplies the time of an update.
class FineTimerResolution {
 public:
  static constexpr std::uint32_t kPeriodMs = 1;

  explicit FineTimerResolution(OsServices& os) : os_(os), granted_(os.timeBeginPeriod(kPeriodMs) == 0) {}
  ~FineTimerResolution() {
    if (granted_) os_.timeEndPeriod(kPeriodMs);
  }
  FineTimerResolution(const FineTimerResolution&) = delete;
  FineTimerResolution& operator=(const FineTimerResolution&) = delete;

 private:
  OsServices& os_;
  bool granted_;
};

}  // namespace tessora

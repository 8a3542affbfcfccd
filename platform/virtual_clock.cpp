#include "platform/virtual_clock.h"

namespace tessora {

void VirtualClock::Sleep(std::uint32_t milliseconds) {
  ++sleeps_;
  slept_ += milliseconds;
  now_ += milliseconds;
}

}  // namespace tessora

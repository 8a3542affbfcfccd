#pragma once
#include <cstdint>

#include "engine/driver_dispatch.h"

namespace tessora::testing {

// A driver transport that reaches no device: every request moves nothing.
struct NoDriver : DriverDispatch {
  std::uint32_t DispatchMemoryWrite(std::uint32_t, std::uint16_t, std::uint32_t, const std::uint8_t*) override { return 0; }
  std::uint32_t DispatchMemoryRead(std::uint32_t, std::uint16_t, std::uint32_t, std::uint8_t*) override { return 0; }
  std::uint32_t DispatchBusWrite(std::uint32_t, std::uint8_t, std::uint16_t, const std::uint8_t*, std::uint16_t,
                                 const std::uint8_t*) override {
    return 0;
  }
  std::uint32_t DispatchBusRead(std::uint32_t, std::uint8_t, std::uint16_t, const std::uint8_t*, std::uint16_t,
                                std::uint8_t*) override {
    return 0;
  }
};

}  // namespace tessora::testing

// The simulated board's `board.conf` parser on any text.
#include <cstdint>
#include <string>
#include <string_view>

#include "sim/board/board_config.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tessora::sim::BoardConfig config;
  std::string error;
  bool parsed = tessora::sim::ParseBoardConfig(std::string_view(reinterpret_cast<const char*>(data), size), config,
                                                error);
  if (!parsed && error.empty()) __builtin_trap();  // a refusal always says why
  return 0;
}

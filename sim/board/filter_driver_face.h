#pragma once
#include <cstdint>

#include "sim/board/sim_board.h"

namespace tessora::sim {

// The controller's FilterDriver face: the kernel driver's I/O-control requests, each with
// its input and output buffers as DeviceIoControl hands them over. The driver exists only
// on Windows, so a request ends with the error Windows reports for it.
class FilterDriverFace {
 public:
  explicit FilterDriverFace(SimBoard& board) : board_(board) {}

  // Carries out one request: kErrorSuccess with `returned` bytes of answer in `out`, or the
  // error the request fails with. A size without its buffer is an invalid parameter.
  std::uint32_t IoControl(std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize, std::uint8_t* out,
                          std::uint32_t outSize, std::uint32_t& returned);

 private:
  std::uint32_t Serve(std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize, std::uint8_t* out,
                      std::uint32_t outSize, std::uint32_t& returned);

  SimBoard& board_;
};

}  // namespace tessora::sim

#pragma once
#include <cstdint>
#include <span>

#include "platform/device_stack.h"
#include "sim/board/sim_board.h"

namespace tessora::sim {

// The controller's WinUSB face: vendor control transfers on endpoint 0 as they go over the
// wire, a setup packet and a data stage of setup.length bytes, so that the Windows stack's
// WinUsb_ControlTransfer and a Linux URB reach the same controller.
class WinUsbFace {
 public:
  explicit WinUsbFace(SimBoard& board) : board_(board) {}

  // One transfer: `data` is what an OUT request sends, or the room for what an IN request
  // answers; `transferred` the bytes that moved. False: the controller stalled the request,
  // one it does not know or one the board did not serve.
  bool ControlTransfer(const UsbSetupPacket& setup, std::span<std::uint8_t> data, std::uint32_t& transferred);

 private:
  SimBoard& board_;
};

}  // namespace tessora::sim

// The WinUSB face turns its requests into the board's memory and bus calls; the board traces
// each logical request once, so status polls and data fetches add no lines of their own.
#include "sim/board/winusb_face.h"

#include <cstring>
#include <optional>
#include <vector>

namespace tessora::sim {

namespace {

constexpr std::uint8_t kVendorOut = 0x40;
constexpr std::uint8_t kVendorIn = 0xC0;
constexpr std::uint8_t kRequestMemoryWrite = 0x04;
constexpr std::uint8_t kRequestMemoryRead = 0x05;
constexpr std::uint8_t kRequestBusCommand = 0x08;
constexpr std::uint8_t kRequestBusResult = 0x09;

bool CopyOut(const std::optional<std::vector<std::uint8_t>>& bytes, std::span<std::uint8_t> data,
             std::uint32_t& transferred) {
  if (!bytes) return false;
  if (!bytes->empty()) std::memcpy(data.data(), bytes->data(), bytes->size());
  transferred = static_cast<std::uint32_t>(bytes->size());
  return true;
}

}  // namespace

bool WinUsbFace::ControlTransfer(const UsbSetupPacket& setup, std::span<std::uint8_t> data,
                                 std::uint32_t& transferred) {
  transferred = 0;
  if (setup.requestType == kVendorOut && setup.request == kRequestMemoryWrite) {
    if (!board_.MemoryWrite(Face::WinUsb, setup.index, data)) return false;
    transferred = static_cast<std::uint32_t>(data.size());
    return true;
  }
  if (setup.requestType == kVendorIn && setup.request == kRequestMemoryRead)
    return CopyOut(board_.MemoryRead(Face::WinUsb, setup.index, data.size()), data, transferred);
  if (setup.requestType == kVendorOut && setup.request == kRequestBusCommand) {
    if (!board_.BusCommand(Face::WinUsb, data)) return false;
    transferred = static_cast<std::uint32_t>(data.size());
    return true;
  }
  if (setup.requestType == kVendorIn && setup.request == kRequestBusResult && setup.value == 1) {
    std::optional<std::uint8_t> status = board_.BusStatus();
    if (!status || data.empty()) return false;
    data[0] = *status;
    transferred = 1;
    return true;
  }
  if (setup.requestType == kVendorIn && setup.request == kRequestBusResult && setup.value == 0)
    return CopyOut(board_.BusData(data.size()), data, transferred);
  return false;
}

}  // namespace tessora::sim

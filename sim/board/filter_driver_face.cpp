// The FilterDriver face turns its requests into the board's memory and bus calls; the board
// traces each logical request once, so status polls and data fetches add no lines of their own.
#include "sim/board/filter_driver_face.h"

#include <cstring>
#include <optional>
#include <span>
#include <vector>

#include "platform/types.h"

namespace tessora::sim {

namespace {

constexpr std::uint32_t kIoctlMemoryRead = 0x22200C;
constexpr std::uint32_t kIoctlMemoryWrite = 0x222010;
constexpr std::uint32_t kIoctlBusData = 0x222020;
constexpr std::uint32_t kIoctlBusCommand = 0x222024;
constexpr std::uint32_t kIoctlBusStatus = 0x22202C;

std::uint16_t LittleEndian16(const std::uint8_t* bytes) {
  return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

std::uint32_t CopyOut(const std::optional<std::vector<std::uint8_t>>& bytes, std::uint8_t* out,
                      std::uint32_t& returned) {
  if (!bytes) return kErrorDeviceNotConnected;
  if (!bytes->empty()) std::memcpy(out, bytes->data(), bytes->size());
  returned = static_cast<std::uint32_t>(bytes->size());
  return kErrorSuccess;
}

}  // namespace

// A CRC error is the link's, so it strikes before the request is looked at.
std::uint32_t FilterDriverFace::IoControl(std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize,
                                          std::uint8_t* out, std::uint32_t outSize, std::uint32_t& returned) {
  returned = 0;
  if (board_.TakeCrcError()) return kErrorCrc;
  if ((inSize > 0 && in == nullptr) || (outSize > 0 && out == nullptr)) return kErrorInvalidParameter;
  return Serve(code, in, inSize, out, outSize, returned);
}

std::uint32_t FilterDriverFace::Serve(std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize,
                                      std::uint8_t* out, std::uint32_t outSize, std::uint32_t& returned) {
  switch (code) {
    case kIoctlMemoryRead:
      if (inSize < 2) return kErrorInvalidParameter;
      return CopyOut(board_.MemoryRead(Face::FilterDriver, LittleEndian16(in), outSize), out, returned);
    case kIoctlMemoryWrite:
      if (inSize < 2) return kErrorInvalidParameter;
      if (!board_.MemoryWrite(Face::FilterDriver, LittleEndian16(in), std::span(in + 2, inSize - 2)))
        return kErrorDeviceNotConnected;
      return kErrorSuccess;
    case kIoctlBusCommand:
      return board_.BusCommand(Face::FilterDriver, std::span(in, inSize)) ? kErrorSuccess : kErrorGenFailure;
    case kIoctlBusStatus: {
      if (outSize < 1) return kErrorInsufficientBuffer;
      std::optional<std::uint8_t> status = board_.BusStatus();
      if (!status) return kErrorDeviceNotConnected;
      out[0] = *status;
      returned = 1;
      return kErrorSuccess;
    }
    case kIoctlBusData:
      return CopyOut(board_.BusData(outSize), out, returned);
    default:
      return kErrorInvalidFunction;
  }
}

}  // namespace tessora::sim

#pragma once
#include <cstdint>
#include <functional>

#include "engine/engine_context.h"

namespace tessora {

// One EEPROM on the bus as the update procedures write it: pages written and read back,
// and the header (kHeaderBytes), which is erased before anything else and written last
// so that a board whose update breaks off boots from its ROM rather than from half an
// image.
class EepromPages {
 public:
  EepromPages(EngineContext& context, std::uint8_t busAddress, int width)
      : context_(context), busAddress_(busAddress), width_(width) {}

  // At most kMaxEepromPage bytes a call.
  bool Read(std::uint32_t position, std::uint32_t length, std::uint8_t* destination);
  bool Write(std::uint32_t position, std::uint32_t length, const std::uint8_t* data);
  bool WriteVerified(std::uint32_t position, std::uint32_t length, const std::uint8_t* data);

  bool EraseHeader(std::uint32_t page);

  // image[0, min(size, kHeaderBytes)) from its top page down, the write holding byte 0
  // last; pageWritten(start, length) after each page. A page that does not verify leaves
  // the whole header erased again, not half written.
  bool WriteHeaderLast(const std::uint8_t* image, std::uint32_t size, std::uint32_t page,
                       const std::function<void(std::uint32_t start, std::uint32_t length)>& pageWritten);

  // Whether the part reaches the image's last byte, asked of a part whose header was just
  // erased: parts are a power of two in size and ignore the address bits above it, so a
  // byte written at the highest power of two below the image's end lands on byte 0 of a
  // part too small for the image. Costs one byte's write cycle and one read; the byte
  // written is one the image writes again. False also when the bus fails; on false byte 0
  // may hold the probe, so the caller erases the header again.
  bool ReachesEndOf(std::uint32_t size);

  // The byte ReachesEndOf writes for an image of this size; size when there is none.
  static std::uint32_t ProbeAddress(std::uint32_t size);

 private:
  EngineContext& context_;
  std::uint8_t busAddress_;
  int width_;
};

}  // namespace tessora

#pragma once
#include <cstdint>
#include <vector>

#include "engine/engine_context.h"
#include "engine/progress.h"

namespace tessora {

// How an EEPROM differs from an image: the number of differing bytes and the first of them.
struct ImageMismatch {
  std::uint32_t count = 0;
  std::uint32_t firstAddress = 0;
  std::uint8_t expected = 0;
  std::uint8_t found = 0;
};

// Reads addresses [0, size) and compares them with image block by block (blockSize ≤ 64
// bytes, one progress step each), the positions of the blocks that differ into
// differingBlocks when given. 0 when everything was read (the differences in mismatch),
// else the code of the failed read.
int CompareEeprom(EngineContext& context, Progress& progress, std::uint8_t busAddress, int width,
                  const std::uint8_t* image, std::uint32_t size, std::uint16_t blockSize, ImageMismatch& mismatch,
                  std::vector<std::uint32_t>* differingBlocks = nullptr);

}  // namespace tessora

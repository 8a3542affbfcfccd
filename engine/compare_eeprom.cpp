#include "engine/compare_eeprom.h"

#include <algorithm>

#include "engine/eeprom_transfer.h"

namespace tessora {

int CompareEeprom(EngineContext& context, Progress& progress, std::uint8_t busAddress, int width,
                  const std::uint8_t* image, std::uint32_t size, std::uint16_t blockSize, ImageMismatch& mismatch,
                  std::vector<std::uint32_t>* differingBlocks) {
  mismatch = ImageMismatch{};
  if (blockSize == 0 || blockSize > kMaxEepromPage) return 1;
  // Whole blocks per read, as many as one read holds.
  const std::uint32_t span = std::max<std::uint32_t>(blockSize, kLongestBusRead / blockSize * blockSize);
  std::vector<std::uint8_t> found(span);
  for (std::uint32_t start = 0; start < size; start += span) {
    std::uint32_t spanLength = std::min(span, size - start);
    if (int result = ReadEepromRange(context, busAddress, width, start, spanLength, found.data()); result != 0)
      return result;
    for (std::uint32_t block = 0; block < spanLength; block += blockSize) {
      bool differs = false;
      for (std::uint32_t i = block; i < std::min(block + blockSize, spanLength); ++i) {
        std::uint32_t position = start + i;
        if (found[i] == image[position]) continue;
        differs = true;
        if (mismatch.count++ == 0) mismatch = ImageMismatch{1, position, image[position], found[i]};
      }
      if (differs && differingBlocks != nullptr) differingBlocks->push_back(start + block);
      progress.ProgressStep();
    }
  }
  return 0;
}

}  // namespace tessora

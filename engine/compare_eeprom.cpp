#include "engine/compare_eeprom.h"

#include <algorithm>

#include "engine/eeprom_transfer.h"

namespace tessora {

int CompareEeprom(EngineContext& context, Progress& progress, std::uint8_t busAddress, int width,
                  const std::uint8_t* image, std::uint32_t size, std::uint16_t blockSize, ImageMismatch& mismatch) {
  mismatch = ImageMismatch{};
  if (blockSize == 0 || blockSize > kMaxEepromPage) return 1;
  std::uint8_t found[kMaxEepromPage];
  for (std::uint32_t position = 0; position < size; position += blockSize) {
    std::uint32_t length = std::min<std::uint32_t>(blockSize, size - position);
    std::uint8_t subaddress[2];
    EncodeSubaddress(position, width, subaddress);
    if (int result = ReadEepromBlock(context, busAddress, width, subaddress, length, found); result != 0)
      return result;
    for (std::uint32_t i = 0; i < length; ++i) {
      if (found[i] == image[position + i]) continue;
      if (mismatch.count++ == 0) mismatch = ImageMismatch{1, position + i, image[position + i], found[i]};
    }
    progress.ProgressStep();
  }
  return 0;
}

}  // namespace tessora

#include "engine/program_image.h"

#include <vector>

#include "engine/eeprom_pages.h"
#include "engine/eeprom_transfer.h"
#include "engine/image_file.h"

namespace tessora {

int ProgramImage(EngineContext& context, Progress& progress, const char* fileName, std::uint8_t busAddress,
                 std::uint16_t pageSize, int width, ImageFormat format) {
  std::uint32_t capacity = CapacityForWidth(width);
  if (capacity == 0 || pageSize == 0 || pageSize > kMaxEepromPage) return 1;

  // The image is loaded and checked before the board is touched: an unreadable or
  // oversized file must leave the firmware in the EEPROM as it was. Addresses the file
  // skips are written erased.
  std::vector<std::uint8_t> image(capacity, 0xFF);
  int length = ReadImageAs(fileName, format, image.data(), static_cast<int>(capacity));
  if (length <= 0) return 1;
  std::uint32_t size = static_cast<std::uint32_t>(length);
  std::uint32_t page = pageSize;

  // Every page verifies right after its write, which cannot show a part too small for the
  // image: its upper pages land on the lower ones and each still reads back right.
  EepromPages pages(context, busAddress, width);
  if (!pages.EraseHeader(page)) return 1;
  if (!pages.ReachesEndOf(size)) {
    pages.EraseHeader(page);
    return 1;
  }

  // A stop is taken between the body's pages, while the header is erased; once the header
  // is being written, the image is finished instead.
  std::uint32_t position = kHeaderBytes;
  for (; position + page <= size; position += page) {
    if (StopRequested(context) || !pages.WriteVerified(position, page, image.data() + position)) return 1;
    progress.ProgressStep();
  }
  for (; position < size; ++position)
    if (StopRequested(context) || !pages.WriteVerified(position, 1, image.data() + position)) return 1;

  // As in the body each whole header page takes a step, but not the first page when it
  // comes after the body.
  bool written = pages.WriteHeaderLast(image.data(), size, page, [&](std::uint32_t start, std::uint32_t piece) {
    if (piece == page && (start != 0 || size <= page)) progress.ProgressStep();
  });
  return written ? 0 : 1;
}

}  // namespace tessora

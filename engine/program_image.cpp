#include "engine/program_image.h"

#include <algorithm>
#include <vector>

#include "engine/eeprom_transfer.h"
#include "engine/image_file.h"

namespace tessora {

namespace {

class ImageWriter {
 public:
  ImageWriter(EngineContext& context, std::uint8_t busAddress, int width, const std::vector<std::uint8_t>& image)
      : context_(context), busAddress_(busAddress), width_(width), image_(image), readBack_(image.size()) {}

  // Writes image[position, position + length) and compares what reads back.
  bool WriteVerified(std::uint32_t position, std::uint32_t length) {
    return Write(position, image_.data() + position, length) && Verify(position, length);
  }

  bool Write(std::uint32_t position, const std::uint8_t* data, std::uint32_t length) {
    std::uint8_t subaddress[2];
    EncodeSubaddress(position, width_, subaddress);
    return WriteEepromBlock(context_, busAddress_, width_, subaddress, length, data) == 0;
  }

 private:
  bool Verify(std::uint32_t position, std::uint32_t length) {
    std::uint8_t subaddress[2];
    EncodeSubaddress(position, width_, subaddress);
    if (ReadEepromBlock(context_, busAddress_, width_, subaddress, length, readBack_.data() + position) != 0)
      return false;
    return std::equal(readBack_.begin() + position, readBack_.begin() + position + length,
                      image_.begin() + position);
  }

  EngineContext& context_;
  std::uint8_t busAddress_;
  int width_;
  const std::vector<std::uint8_t>& image_;
  std::vector<std::uint8_t> readBack_;
};

}  // namespace

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

  ImageWriter writer(context, busAddress, width, image);
  // The header (kHeaderBytes) is erased before anything else and written only once the
  // rest of the image is in place and verified, the write holding byte 0 last, so that a
  // board whose update breaks off at any point boots from its ROM rather than from half
  // an image; so at every page size.
  const std::vector<std::uint8_t> blank(page, 0xFF);
  auto eraseHeader = [&] {
    for (std::uint32_t position = 0; position < kHeaderBytes; position += page)
      if (!writer.Write(position, blank.data(), page)) return false;
    return true;
  };
  if (!eraseHeader()) return 1;

  std::uint32_t position = kHeaderBytes;
  for (; position + page <= size; position += page) {
    if (!writer.WriteVerified(position, page)) return 1;
    progress.ProgressStep();
  }
  for (; position < size; ++position)
    if (!writer.WriteVerified(position, 1)) return 1;

  // The header from its top down, the write holding byte 0 last. As in the body, each
  // whole page takes a step, but not the first page when it comes after the body. A
  // header page that does not verify leaves the header erased again, not half written.
  std::uint32_t headerEnd = std::min(size, kHeaderBytes);
  for (std::uint32_t start = (headerEnd - 1) / page * page;; start -= page) {
    std::uint32_t piece = std::min(page, headerEnd - start);
    if (!writer.WriteVerified(start, piece)) {
      eraseHeader();
      return 1;
    }
    if (piece == page && (start != 0 || size <= page)) progress.ProgressStep();
    if (start == 0) return 0;
  }
}

}  // namespace tessora

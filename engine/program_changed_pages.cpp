#include "engine/program_changed_pages.h"

#include <algorithm>
#include <vector>

#include "engine/compare_eeprom.h"
#include "engine/eeprom_transfer.h"

namespace tessora {

namespace {

class PageWriter {
 public:
  PageWriter(EngineContext& context, std::uint8_t busAddress, int width)
      : context_(context), busAddress_(busAddress), width_(width) {}

  bool Read(std::uint32_t position, std::uint32_t length, std::uint8_t* destination) {
    std::uint8_t subaddress[2];
    EncodeSubaddress(position, width_, subaddress);
    return ReadEepromBlock(context_, busAddress_, width_, subaddress, length, destination) == 0;
  }

  bool Write(std::uint32_t position, std::uint32_t length, const std::uint8_t* data) {
    std::uint8_t subaddress[2];
    EncodeSubaddress(position, width_, subaddress);
    return WriteEepromBlock(context_, busAddress_, width_, subaddress, length, data) == 0;
  }

  bool WriteVerified(std::uint32_t position, std::uint32_t length, const std::uint8_t* data) {
    std::uint8_t back[kMaxEepromPage];
    return Write(position, length, data) && Read(position, length, back) && std::equal(data, data + length, back);
  }

 private:
  EngineContext& context_;
  std::uint8_t busAddress_;
  int width_;
};

}  // namespace

int ProgramChangedPages(EngineContext& context, Progress& progress, const char* fileName, ImageFormat format,
                        std::uint8_t busAddress, std::uint16_t pageSize, int width, std::uint32_t& pagesWritten) {
  pagesWritten = 0;
  if (pageSize == 0 || pageSize > kMaxEepromPage) return 1;
  std::vector<std::uint8_t> image;
  int count = LoadImageForPart(fileName, format, width, image);
  if (count <= 0) return 1;
  std::uint32_t size = static_cast<std::uint32_t>(count);

  PageWriter writer(context, busAddress, width);
  std::vector<std::uint32_t> changed;
  ImageMismatch mismatch;
  if (CompareEeprom(context, progress, busAddress, width, image.data(), size, pageSize, mismatch, &changed) != 0)
    return 1;
  if (changed.empty()) return 0;

  const std::vector<std::uint8_t> blank(pageSize, 0xFF);
  for (std::uint32_t position = 0; position < kHeaderBytes; position += pageSize)
    if (!writer.Write(position, pageSize, blank.data())) return 1;
  for (std::uint32_t position : changed) {
    if (position < kHeaderBytes) continue;
    std::uint32_t length = std::min<std::uint32_t>(pageSize, size - position);
    if (!writer.WriteVerified(position, length, image.data() + position)) return 1;
    ++pagesWritten;
  }
  // The header from its top down, the write holding byte 0 last.
  std::uint32_t headerEnd = std::min(size, kHeaderBytes);
  for (std::uint32_t start = (headerEnd - 1) / pageSize * pageSize;; start -= pageSize) {
    std::uint32_t piece = std::min<std::uint32_t>(pageSize, headerEnd - start);
    if (!writer.WriteVerified(start, piece, image.data() + start)) return 1;
    ++pagesWritten;
    if (start == 0) return 0;
  }
}

}  // namespace tessora

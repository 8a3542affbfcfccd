#include "engine/eeprom_pages.h"

#include <algorithm>
#include <bit>
#include <vector>

#include "engine/eeprom_transfer.h"

namespace tessora {

bool EepromPages::Read(std::uint32_t position, std::uint32_t length, std::uint8_t* destination) {
  if (length > kMaxEepromPage) return false;
  std::uint8_t subaddress[2];
  EncodeSubaddress(position, width_, subaddress);
  return ReadEepromBlock(context_, busAddress_, width_, subaddress, length, destination) == 0;
}

bool EepromPages::Write(std::uint32_t position, std::uint32_t length, const std::uint8_t* data) {
  if (length > kMaxEepromPage) return false;
  std::uint8_t subaddress[2];
  EncodeSubaddress(position, width_, subaddress);
  return WriteEepromBlock(context_, busAddress_, width_, subaddress, length, data) == 0;
}

bool EepromPages::WriteVerified(std::uint32_t position, std::uint32_t length, const std::uint8_t* data) {
  std::uint8_t back[kMaxEepromPage];
  return Write(position, length, data) && Read(position, length, back) && std::equal(data, data + length, back);
}

bool EepromPages::EraseHeader(std::uint32_t page) {
  const std::vector<std::uint8_t> blank(page, 0xFF);
  for (std::uint32_t position = 0; position < kHeaderBytes; position += page)
    if (!Write(position, page, blank.data())) return false;
  return true;
}

bool EepromPages::WriteHeaderLast(const std::uint8_t* image, std::uint32_t size, std::uint32_t page,
                                  const std::function<void(std::uint32_t, std::uint32_t)>& pageWritten) {
  std::uint32_t headerEnd = std::min(size, kHeaderBytes);
  for (std::uint32_t start = (headerEnd - 1) / page * page;; start -= page) {
    std::uint32_t piece = std::min(page, headerEnd - start);
    if (!WriteVerified(start, piece, image + start)) {
      EraseHeader(page);
      return false;
    }
    pageWritten(start, piece);
    if (start == 0) return true;
  }
}

std::uint32_t EepromPages::ProbeAddress(std::uint32_t size) {
  return size > kHeaderBytes ? std::bit_floor(size - 1) : size;
}

bool EepromPages::ReachesEndOf(std::uint32_t size) {
  std::uint32_t probe = ProbeAddress(size);
  if (probe == size) return true;  // the header page is on every part
  const std::uint8_t marker = 0x00;
  std::uint8_t first = 0;
  return Write(probe, 1, &marker) && Read(0, 1, &first) && first == 0xFF;
}

}  // namespace tessora

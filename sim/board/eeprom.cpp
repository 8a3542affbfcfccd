#include "sim/board/eeprom.h"

#include <algorithm>

namespace tessora::sim {

Eeprom::Eeprom(std::vector<std::uint8_t> contents, std::size_t pageSize)
    : bytes_(std::move(contents)), pageSize_(pageSize == 0 ? kDefaultPageSize : pageSize) {
  if (bytes_.empty()) bytes_.assign(1, 0xFF);
}

bool Eeprom::AcceptsWrite(std::span<const std::uint8_t> subaddress) const {
  return static_cast<int>(subaddress.size()) == AddressBytes();
}

// A small part also answers a read sent with a 2-byte subaddress (the probe sends one):
// it takes the low byte as its address.
bool Eeprom::AcceptsRead(std::span<const std::uint8_t> subaddress) const {
  if (AddressBytes() == 1) return subaddress.size() == 1 || subaddress.size() == 2;
  return subaddress.size() == 2;
}

std::size_t Eeprom::AddressFor(std::span<const std::uint8_t> subaddress) const {
  std::size_t address = 0;
  if (AddressBytes() == 1) {
    address = subaddress.empty() ? 0 : subaddress.back();
  } else {
    for (std::uint8_t byte : subaddress) address = (address << 8) | byte;
  }
  return address % Size();
}

void Eeprom::Write(std::span<const std::uint8_t> subaddress, std::span<const std::uint8_t> data) {
  std::size_t start = AddressFor(subaddress);
  std::size_t pageBase = start - start % pageSize_;
  std::size_t pageLength = pageSize_ < Size() ? pageSize_ : Size();
  std::size_t offset = start - pageBase;
  Transfer(pageBase, pageLength, false);  // another program may have written the page
  for (std::uint8_t byte : data) {
    bytes_[(pageBase + offset) % Size()] = byte;
    offset = (offset + 1) % pageLength;
  }
  Transfer(pageBase, pageLength, true);
}

std::vector<std::uint8_t> Eeprom::Read(std::span<const std::uint8_t> subaddress, std::size_t count) const {
  std::vector<std::uint8_t> out(count);
  std::size_t address = AddressFor(subaddress);
  Transfer(address, std::min(count, Size()), false);
  for (std::size_t i = 0; i < count; ++i) out[i] = bytes_[(address + i) % Size()];
  return out;
}

void Eeprom::KeepIn(UniqueFile file) {
  file_ = std::move(file);
  // Unbuffered: each page reaches the file, and so the other programs, when written.
  std::setvbuf(file_.get(), nullptr, _IONBF, 0);
}

void Eeprom::Transfer(std::size_t start, std::size_t count, bool store) const {
  if (!file_) return;
  for (std::size_t done = 0; done < count;) {
    std::size_t at = (start + done) % Size();
    std::size_t run = std::min(count - done, Size() - at);
    if (std::fseek(file_.get(), static_cast<long>(at), SEEK_SET) == 0) {
      if (store) std::fwrite(bytes_.data() + at, 1, run, file_.get());
      else std::fread(bytes_.data() + at, 1, run, file_.get());
    }
    done += run;
  }
}

}  // namespace tessora::sim

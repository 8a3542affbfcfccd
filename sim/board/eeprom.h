#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "platform/unique_file.h"

namespace tessora::sim {

// A serial EEPROM as it behaves on a two-wire bus: an internal address pointer set by
// the subaddress bytes, page writes that wrap inside their page, and sequential reads
// that roll over at the end of the memory.
class Eeprom {
 public:
  static constexpr std::size_t kDefaultPageSize = 64;

  // Parts of up to 256 bytes take a 1-byte subaddress, larger ones a 2-byte subaddress.
  // pageSize is the write page, a power of two.
  explicit Eeprom(std::vector<std::uint8_t> contents, std::size_t pageSize = kDefaultPageSize);

  std::size_t Size() const { return bytes_.size(); }
  int AddressBytes() const { return Size() <= 256 ? 1 : 2; }
  const std::vector<std::uint8_t>& Contents() const { return bytes_; }
  std::vector<std::uint8_t>& Contents() { return bytes_; }

  // False when the subaddress does not fit the part, as a real part would not acknowledge.
  bool AcceptsWrite(std::span<const std::uint8_t> subaddress) const;
  bool AcceptsRead(std::span<const std::uint8_t> subaddress) const;

  void Write(std::span<const std::uint8_t> subaddress, std::span<const std::uint8_t> data);
  std::vector<std::uint8_t> Read(std::span<const std::uint8_t> subaddress, std::size_t count) const;

  // The internal address a subaddress selects.
  std::size_t AddressFor(std::span<const std::uint8_t> subaddress) const;

  // From now on the part lives in the file (its raw bytes, as large as the part): every
  // read comes from it and every write goes straight into it, so programs that open
  // the same file share one part, as they would share a real board.
  void KeepIn(UniqueFile file);

 private:
  // Moves `count` bytes from `start` (wrapping at the end) into the file or out of it.
  void Transfer(std::size_t start, std::size_t count, bool store) const;

  mutable std::vector<std::uint8_t> bytes_;
  std::size_t pageSize_;
  UniqueFile file_;
};

}  // namespace tessora::sim

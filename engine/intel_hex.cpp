#include "engine/intel_hex.h"

#include <cstdio>
#include <string>
#include <vector>

#include "engine/image_file.h"
#include "platform/regular_file.h"

namespace tessora {

namespace {

// ':' + 2 × (5 + 255) hex digits: nothing longer is a record.
constexpr std::size_t kLongestRecord = 1 + 2 * (5 + 255);

enum RecordType : std::uint8_t {
  kData = 0x00,
  kEnd = 0x01,
  kSegment = 0x02,
  kSegmentStart = 0x03,
  kLinear = 0x04,
  kLinearStart = 0x05,
};

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The next line without its line end; false at the end of the file. A line longer than
// any record is cut, so that it fails as a record and memory stays bounded.
bool NextLine(std::FILE* file, std::string& line) {
  line.clear();
  int c = 0;
  bool any = false;
  while ((c = std::fgetc(file)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (line.size() <= kLongestRecord) line.push_back(static_cast<char>(c));
  }
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
  return any;
}

// The record's bytes (length, address, type, data, checksum); false unless the line is
// ':' followed by an even number of hex digits that agree with the length byte.
bool DecodeRecord(const std::string& line, std::vector<std::uint8_t>& bytes) {
  if (line.size() < 11 || line[0] != ':' || line.size() % 2 == 0 || line.size() > kLongestRecord) return false;
  bytes.clear();
  for (std::size_t i = 1; i < line.size(); i += 2) {
    int high = HexValue(line[i]);
    int low = HexValue(line[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
  }
  return bytes.size() == 5u + bytes[0];
}

class HexImage {
 public:
  HexImage(std::uint8_t* buffer, int capacity) : buffer_(buffer), given_(static_cast<std::size_t>(capacity)) {}

  // 0 to go on, 1 at the end record, or a negative code.
  int Take(const std::vector<std::uint8_t>& record, ImageProblem& problem) {
    std::uint8_t sum = 0;
    for (std::uint8_t byte : record) sum = static_cast<std::uint8_t>(sum + byte);
    if (sum != 0) return kImageBadChecksum;
    std::uint8_t length = record[0];
    std::uint32_t offset = static_cast<std::uint32_t>(record[1]) << 8 | record[2];
    const std::uint8_t* data = record.data() + 4;
    switch (record[3]) {
      case kData:
        return Store(base_ + offset, data, length, problem);
      case kEnd:
        return length == 0 ? 1 : kImageBadRecord;
      case kSegment:
      case kLinear: {
        if (length != 2) return kImageBadRecord;
        std::uint32_t value = static_cast<std::uint32_t>(data[0]) << 8 | data[1];
        base_ = record[3] == kSegment ? value << 4 : value << 16;
        return 0;
      }
      // Where a processor would start: nothing an EEPROM holds. The GNU toolchain writes
      // one for every program with an entry point.
      case kSegmentStart:
      case kLinearStart:
        return length == 4 ? 0 : kImageBadRecord;
      default:
        return kImageBadRecord;
    }
  }

  // The addresses below the highest one that no record gave are erased bytes.
  int Finish() {
    for (std::uint32_t address = 0; address < extent_; ++address)
      if (!given_[address]) buffer_[address] = 0xFF;
    return static_cast<int>(extent_);
  }

 private:
  int Store(std::uint32_t address, const std::uint8_t* data, std::uint8_t length, ImageProblem& problem) {
    // Only bytes make the image longer: an empty record moves no end.
    if (length == 0) return 0;
    for (std::uint8_t i = 0; i < length; ++i, ++address) {
      problem.address = address;
      if (address >= given_.size()) return kImageBeyondCapacity;
      if (given_[address]) return kImageOverlap;
      given_[address] = true;
      buffer_[address] = data[i];
    }
    if (address > extent_) extent_ = address;
    return 0;
  }

  std::uint8_t* buffer_;
  std::vector<bool> given_;
  std::uint32_t base_ = 0;
  std::uint32_t extent_ = 0;
};

// False at the first line after the end record that is not blank: a second file appended
// to the first (cat a.hex b.hex) would otherwise be dropped without a word.
bool OnlyBlankLinesFollow(std::FILE* file, std::string& line, ImageProblem& problem) {
  while (NextLine(file, line)) {
    ++problem.line;
    if (!line.empty()) return false;
  }
  return true;
}

}  // namespace

int ReadIntelHexFile(const char* fileName, std::uint8_t* buffer, int capacity, ImageProblem& problem) {
  UniqueFile file = OpenRegularFileForReading(ImageFileNameWithoutQuotes(fileName).c_str());
  if (!file) return kImageCannotOpen;
  HexImage image(buffer, capacity);
  std::string line;
  std::vector<std::uint8_t> record;
  for (problem.line = 1; NextLine(file.get(), line); ++problem.line) {
    if (line.empty()) continue;
    if (!DecodeRecord(line, record)) return kImageBadRecord;
    int result = image.Take(record, problem);
    if (result < 0) return result;
    if (result == 1) {
      if (!OnlyBlankLinesFollow(file.get(), line, problem)) return kImageAfterEnd;
      return std::ferror(file.get()) ? kImageCannotOpen : image.Finish();
    }
  }
  if (std::ferror(file.get())) return kImageCannotOpen;
  problem.line = 0;
  return kImageNoEndRecord;
}

void AppendIntelHexData(std::string& text, std::uint16_t address, const std::uint8_t* bytes, std::size_t length) {
  std::uint8_t sum = static_cast<std::uint8_t>(length + (address >> 8) + (address & 0xFF) + kData);
  char field[16];
  std::snprintf(field, sizeof field, ":%02X%04X%02X", static_cast<unsigned>(length & 0xFF),
                static_cast<unsigned>(address), kData);
  text += field;
  for (std::size_t i = 0; i < length; ++i) {
    std::snprintf(field, sizeof field, "%02X", bytes[i]);
    text += field;
    sum = static_cast<std::uint8_t>(sum + bytes[i]);
  }
  std::snprintf(field, sizeof field, "%02X\n", static_cast<unsigned>(static_cast<std::uint8_t>(-sum)));
  text += field;
}

void AppendIntelHexEnd(std::string& text) { text += ":00000001FF\n"; }

}  // namespace tessora

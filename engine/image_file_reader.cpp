#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "engine/image_file.h"
#include "platform/regular_file.h"

namespace tessora {

namespace {

// Lines are read whole, so no token is ever cut in two. The bound only keeps a file that
// is no image (one endless line) from taking all memory; no image line comes near it.
constexpr std::size_t kMaxLineLength = 1u << 20;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsCSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// Reads a number the way "%x" does: leading white space, an optional sign, an optional
// 0x prefix, then hex digits up to the first other character. False when there is none.
bool ParseHexLikeScanf(std::string_view text, std::uint32_t& value) {
  std::size_t i = 0;
  while (i < text.size() && IsCSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  bool prefixed = i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
                  HexDigit(text[i + 2]) >= 0;
  if (prefixed) i += 2;
  std::uint32_t result = 0;
  std::size_t digits = 0;
  for (; i < text.size() && HexDigit(text[i]) >= 0; ++i, ++digits)
    result = (result << 4) | static_cast<std::uint32_t>(HexDigit(text[i]));
  if (digits == 0) return false;
  value = negative ? 0u - result : result;
  return true;
}

enum class LineRead { Line, End, TooLong };

// Next line as the C library's text mode delivers it: CR LF becomes LF.
LineRead NextLine(std::FILE* file, std::string& line) {
  line.clear();
  for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) {
    if (c == '\r') {
      int following = std::fgetc(file);
      if (following == '\n') c = '\n';
      else if (following != EOF) std::ungetc(following, file);
    }
    if (c == '\n') return LineRead::Line;
    if (line.size() == kMaxLineLength) return LineRead::TooLong;
    line.push_back(static_cast<char>(c));
  }
  return line.empty() ? LineRead::End : LineRead::Line;
}

class ImageParser {
 public:
  ImageParser(std::uint8_t* buffer, int capacity) : buffer_(buffer), capacity_(capacity) {}

  // 0 to go on, or the negative result that ends the file.
  int ParseLine(std::string_view line) {
    std::size_t position = 0;
    while (position < line.size()) {
      std::size_t end = line.find(' ', position);
      if (end == std::string_view::npos) end = line.size();
      std::string_view token = line.substr(position, end - position);
      position = end + 1;
      if (token.empty()) continue;
      if (token[0] == '/') return 0;
      int result = token[0] == '@' ? SetAddress(token.substr(1)) : StoreByte(token);
      if (result != 0) return result;
    }
    return 0;
  }

  int Length() const { return static_cast<int>(length_); }

 private:
  int SetAddress(std::string_view digits) {
    std::uint32_t value = 0;
    if (!ParseHexLikeScanf(digits, value)) return kImageBadToken;
    // Cutting a larger address to 16 bits would land its bytes on the header.
    if (value > 0xFFFF) return kImageBeyondCapacity;
    base_ = value;
    offset_ = 0;
    return 0;
  }

  int StoreByte(std::string_view token) {
    std::uint32_t value = 0;
    if (!ParseHexLikeScanf(token, value)) return kImageBadToken;
    std::uint32_t address = base_ + offset_;
    if (address >= static_cast<std::uint32_t>(capacity_)) return kImageBeyondCapacity;
    buffer_[address] = static_cast<std::uint8_t>(value);
    ++offset_;
    length_ = std::max(length_, address + 1);
    return 0;
  }

  std::uint8_t* buffer_;
  int capacity_;
  std::uint32_t base_ = 0;  // data before the first address token starts at 0
  std::uint32_t offset_ = 0;
  std::uint32_t length_ = 0;  // highest address stored + 1
};

}  // namespace

int ReadImageFile(const char* fileName, std::uint8_t* buffer, int capacity) {
  if (buffer == nullptr) return kImageNoBuffer;
  if (fileName == nullptr) return kImageNoName;
  UniqueFile file = OpenRegularFileForReading(ImageFileNameWithoutQuotes(fileName).c_str());
  if (!file) return kImageCannotOpen;
  ImageParser parser(buffer, capacity < 0 ? 0 : capacity);
  std::string line;
  for (LineRead read = NextLine(file.get(), line); read != LineRead::End; read = NextLine(file.get(), line)) {
    if (read == LineRead::TooLong) return kImageBadToken;
    int result = parser.ParseLine(line);
    if (result != 0) return result;
  }
  if (std::ferror(file.get())) return kImageCannotOpen;
  return parser.Length();
}

}  // namespace tessora

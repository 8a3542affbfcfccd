#include "engine/image_format.h"

#include <cctype>
#include <cstdio>

#include "engine/eeprom_transfer.h"
#include "engine/image_file.h"
#include "engine/intel_hex.h"
#include "platform/regular_file.h"

namespace tessora {

namespace {

constexpr std::size_t kDetectBytes = 512;
constexpr std::size_t kCheckChunk = 4096;

bool IsControlByte(unsigned char c) {
  bool whiteSpace = c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
  return (c < 0x20 && !whiteSpace) || c == 0x7F;
}

int ReadBinaryImage(const char* fileName, std::uint8_t* buffer, int capacity, ImageProblem& problem) {
  UniqueFile file = OpenRegularFileForReading(ImageFileNameWithoutQuotes(fileName).c_str());
  if (!file) return kImageCannotOpen;
  std::size_t size = std::fread(buffer, 1, static_cast<std::size_t>(capacity), file.get());
  if (std::ferror(file.get())) return kImageCannotOpen;
  if (std::fgetc(file.get()) != EOF) {
    problem.address = static_cast<std::uint32_t>(capacity);
    return kImageBeyondCapacity;
  }
  return static_cast<int>(size);
}

}  // namespace

std::string ImageFileNameWithoutQuotes(const char* fileName) {
  std::string_view name(fileName);
  if (!name.empty() && name.front() == '"') name.remove_prefix(1);
  if (!name.empty() && name.back() == '"') name.remove_suffix(1);
  return std::string(name);
}

int ReadImageAs(const char* fileName, ImageFormat format, std::uint8_t* buffer, int capacity,
                ImageProblem* problem) {
  ImageProblem ignored;
  ImageProblem& where = problem != nullptr ? *problem : ignored;
  if (format == ImageFormat::Text || buffer == nullptr || fileName == nullptr) {
    int result = ReadImageFile(fileName, buffer, capacity);
    // The text format tells no line: the first address that does not fit is all there is to say.
    if (result == kImageBeyondCapacity) where.address = static_cast<std::uint32_t>(capacity > 0 ? capacity : 0);
    return result;
  }
  if (capacity < 0) capacity = 0;
  if (format == ImageFormat::Binary) return ReadBinaryImage(fileName, buffer, capacity, where);
  return ReadIntelHexFile(fileName, buffer, capacity, where);
}

int LoadImageForPart(const char* fileName, ImageFormat format, int width, std::vector<std::uint8_t>& image) {
  std::uint32_t capacity = CapacityForWidth(width);
  if (capacity == 0) return 0;
  image.assign(capacity, 0xFF);
  return ReadImageAs(fileName, format, image.data(), static_cast<int>(capacity));
}

bool HasBinaryName(std::string_view name) {
  constexpr std::string_view kSuffix = ".bin";
  if (name.size() < kSuffix.size()) return false;
  std::string_view tail = name.substr(name.size() - kSuffix.size());
  for (std::size_t i = 0; i < kSuffix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(tail[i])) != kSuffix[i]) return false;
  return true;
}

// A byte-order mark, or ASCII text with every other byte zero, as Windows editors save
// "Unicode" text.
bool LooksLikeUtf16(const unsigned char* head, std::size_t length) {
  if (length < 2) return false;
  if ((head[0] == 0xFF && head[1] == 0xFE) || (head[0] == 0xFE && head[1] == 0xFF)) return true;
  auto ascii = [](unsigned char c) { return (c >= 0x20 && c < 0x7F) || c == '\t' || c == '\r' || c == '\n'; };
  return (ascii(head[0]) && head[1] == 0) || (head[0] == 0 && ascii(head[1]));
}

bool DetectImageFormat(const char* fileName, ImageFormat& format) {
  if (fileName == nullptr) return false;
  std::string name = ImageFileNameWithoutQuotes(fileName);
  UniqueFile file = OpenRegularFileForReading(name.c_str());
  if (!file) return false;
  if (HasBinaryName(name)) {
    format = ImageFormat::Binary;
    return true;
  }
  unsigned char head[kDetectBytes];
  std::size_t length = std::fread(head, 1, sizeof head, file.get());
  if (std::ferror(file.get())) return false;
  std::size_t first = 0;
  while (first < length && (head[first] == ' ' || head[first] == '\t' || head[first] == '\r' || head[first] == '\n'))
    ++first;
  format = first < length && head[first] == ':' ? ImageFormat::IntelHex : ImageFormat::Text;
  return true;
}

int CheckImageText(const char* fileName, ImageFormat format, ImageProblem& problem) {
  if (format == ImageFormat::Binary) return 0;
  if (fileName == nullptr) return kImageNoName;
  UniqueFile file = OpenRegularFileForReading(ImageFileNameWithoutQuotes(fileName).c_str());
  if (!file) return kImageCannotOpen;
  unsigned char chunk[kCheckChunk];
  int line = 1;
  bool start = true;
  for (std::size_t length; (length = std::fread(chunk, 1, sizeof chunk, file.get())) > 0; start = false) {
    if (start && LooksLikeUtf16(chunk, length)) return kImageUtf16;
    for (std::size_t i = 0; i < length; ++i) {
      if (chunk[i] == '\n') ++line;
      if (!IsControlByte(chunk[i])) continue;
      problem.line = line;
      problem.byte = chunk[i];
      return kImageNotText;
    }
  }
  return std::ferror(file.get()) ? kImageCannotOpen : 0;
}

const char* ImageFormatName(ImageFormat format) {
  switch (format) {
    case ImageFormat::IntelHex:
      return "ihex";
    case ImageFormat::Binary:
      return "bin";
    case ImageFormat::Text:
      break;
  }
  return "text";
}

bool ParseImageFormat(std::string_view name, ImageFormat& format) {
  if (name == "text" || name == "hex") format = ImageFormat::Text;
  else if (name == "ihex") format = ImageFormat::IntelHex;
  else if (name == "bin") format = ImageFormat::Binary;
  else return false;
  return true;
}

std::string DescribeImageError(int code, const ImageProblem& problem) {
  char text[160];
  switch (code) {
    case kImageCannotOpen:
      return "cannot be read";
    case kImageBeyondCapacity:
      std::snprintf(text, sizeof text, "an address at or above 0x%04x, beyond the EEPROM",
                    static_cast<unsigned>(problem.address));
      break;
    case kImageBadToken:
      return "a data token without a hexadecimal number";
    case kImageBadRecord:
      std::snprintf(text, sizeof text, "line %d is not an Intel HEX record of type 00 to 05", problem.line);
      break;
    case kImageAfterEnd:
      std::snprintf(text, sizeof text, "line %d follows the end-of-file record", problem.line);
      break;
    case kImageBadChecksum:
      std::snprintf(text, sizeof text, "line %d: the record's checksum does not match", problem.line);
      break;
    case kImageOverlap:
      std::snprintf(text, sizeof text, "line %d gives address 0x%04x a second time", problem.line,
                    static_cast<unsigned>(problem.address));
      break;
    case kImageNoEndRecord:
      return "the Intel HEX file ends without its end-of-file record";
    case kImageNotText:
      std::snprintf(text, sizeof text,
                    "line %d holds the control byte 0x%02x, which no text image holds (--format bin reads a raw "
                    "binary file)",
                    problem.line, static_cast<unsigned>(problem.byte));
      break;
    case kImageUtf16:
      return "the file is UTF-16 text; save it as ASCII or UTF-8";
    default:
      return code == 0 ? "no data bytes" : "cannot be read";
  }
  return text;
}

}  // namespace tessora

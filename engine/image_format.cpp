#include "engine/image_format.h"

#include <cstdio>

#include "engine/eeprom_transfer.h"
#include "engine/image_file.h"
#include "engine/intel_hex.h"
#include "platform/regular_file.h"

namespace tessora {

namespace {

constexpr std::size_t kDetectBytes = 512;

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

bool DetectImageFormat(const char* fileName, ImageFormat& format) {
  if (fileName == nullptr) return false;
  UniqueFile file = OpenRegularFileForReading(ImageFileNameWithoutQuotes(fileName).c_str());
  if (!file) return false;
  unsigned char head[kDetectBytes];
  std::size_t length = std::fread(head, 1, sizeof head, file.get());
  if (std::ferror(file.get())) return false;
  std::size_t first = 0;
  while (first < length && (head[first] == ' ' || head[first] == '\t' || head[first] == '\r' || head[first] == '\n'))
    ++first;
  format = ImageFormat::Text;
  if (first < length && head[first] == ':') format = ImageFormat::IntelHex;
  for (std::size_t i = 0; i < length && format == ImageFormat::Text; ++i)
    if (IsControlByte(head[i])) format = ImageFormat::Binary;
  return true;
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
    default:
      return code == 0 ? "no data bytes" : "cannot be read";
  }
  return text;
}

}  // namespace tessora

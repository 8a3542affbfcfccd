#include <algorithm>
#include <cstdio>
#include <string>

#include "engine/eeprom_transfer.h"
#include "engine/image_file.h"
#include "engine/intel_hex.h"
#include "platform/output_file.h"

namespace tessora {

namespace {

void AppendBlock(std::string& text, ImageFormat format, std::uint32_t position, const std::uint8_t* block,
                 std::uint16_t length) {
  switch (format) {
    case ImageFormat::IntelHex:
      AppendIntelHexData(text, static_cast<std::uint16_t>(position), block, length);
      return;
    case ImageFormat::Binary:
      text.append(reinterpret_cast<const char*>(block), length);
      return;
    case ImageFormat::Text:
      break;
  }
  char field[16];
  std::snprintf(field, sizeof field, "@%04x ", static_cast<unsigned>(position));
  text += field;
  for (std::uint16_t i = 0; i < length; ++i) {
    std::snprintf(field, sizeof field, "%02x ", block[i]);
    text += field;
  }
  text += "\n";
}

// One bus read, written out in lines of at most kReadOutLine bytes, a progress step for
// each full one.
int ReadBlock(EngineContext& context, Progress& progress, std::string& text, ImageFormat format,
              std::uint8_t busAddress, std::uint32_t position, std::uint16_t length, std::uint16_t blockSize,
              int width) {
  std::uint8_t block[kMaxReadOutBlock];
  std::uint8_t subaddress[2];
  EncodeSubaddress(position, width, subaddress);
  int result = ReadEepromBlock(context, busAddress, width, subaddress, length, block);
  if (result != 0) {
    std::fputs("could not read from EEPROM", stdout);
    std::fflush(stdout);
    return result;
  }
  const std::uint16_t line = std::min(blockSize, kReadOutLine);
  for (std::uint16_t offset = 0; offset < length; offset = static_cast<std::uint16_t>(offset + line)) {
    std::uint16_t piece = std::min<std::uint16_t>(line, static_cast<std::uint16_t>(length - offset));
    AppendBlock(text, format, position + offset, block + offset, piece);
    if (piece == line) progress.ProgressStep();
  }
  return 0;
}

}  // namespace

int ReadOutToFile(EngineContext& context, Progress& progress, const char* fileName, std::uint8_t busAddress,
                  std::uint16_t start, std::uint16_t end, std::uint16_t blockSize, int width, ImageFormat format,
                  std::string* fileProblem) {
  if (fileName == nullptr || fileName[0] == '\0') return 1;
  if (blockSize == 0 || blockSize > kMaxReadOutBlock || (width != 1 && width != 2)) return 1;
  // A failed read-out must not destroy the file it was pointed at: the image is read whole
  // before the file is given it. Binary mode for the binary format, text mode for the
  // others, so that Windows ends their lines as it ends text lines.
  OutputFile output(fileName, format == ImageFormat::Binary);
  auto fileFailed = [&] {
    if (fileProblem != nullptr) *fileProblem = output.Problem();
    return 1;
  };
  if (!output.IsOpen()) return fileFailed();

  std::string text;
  std::uint32_t position = start;
  while (position + blockSize <= end) {
    if (StopRequested(context)) return 1;
    int result = ReadBlock(context, progress, text, format, busAddress, position, blockSize, blockSize, width);
    if (result != 0) return result;
    position += blockSize;
  }
  if (end > position) {
    int result = ReadBlock(context, progress, text, format, busAddress, position,
                           static_cast<std::uint16_t>(end - position), blockSize, width);
    if (result != 0) return result;
  }
  if (format == ImageFormat::IntelHex) AppendIntelHexEnd(text);
  return output.Commit(text) ? 0 : fileFailed();
}

}  // namespace tessora

#include <cstdio>

#include "engine/eeprom_transfer.h"
#include "engine/image_file.h"
#include "engine/intel_hex.h"
#include "platform/output_file.h"

namespace tessora {

namespace {

void WriteBlock(std::FILE* file, ImageFormat format, std::uint32_t position, const std::uint8_t* block,
                std::uint16_t length) {
  switch (format) {
    case ImageFormat::IntelHex:
      WriteIntelHexData(file, static_cast<std::uint16_t>(position), block, length);
      return;
    case ImageFormat::Binary:
      std::fwrite(block, 1, length, file);
      return;
    case ImageFormat::Text:
      break;
  }
  std::fprintf(file, "@%04x ", static_cast<unsigned>(position));
  for (std::uint16_t i = 0; i < length; ++i) std::fprintf(file, "%02x ", block[i]);
  std::fputs("\n", file);
}

int ReadBlock(EngineContext& context, std::FILE* file, ImageFormat format, std::uint8_t busAddress,
              std::uint32_t position, std::uint16_t length, int width) {
  std::uint8_t block[kMaxReadOutBlock];
  std::uint8_t subaddress[2];
  EncodeSubaddress(position, width, subaddress);
  int result = ReadEepromBlock(context, busAddress, width, subaddress, length, block);
  if (result != 0) {
    std::fputs("could not read from EEPROM", stdout);
    std::fflush(stdout);
    return result;
  }
  WriteBlock(file, format, position, block, length);
  return 0;
}

}  // namespace

int ReadOutToFile(EngineContext& context, Progress& progress, const char* fileName, std::uint8_t busAddress,
                  std::uint16_t start, std::uint16_t end, std::uint16_t blockSize, int width, ImageFormat format) {
  if (fileName == nullptr || fileName[0] == '\0') return 1;
  if (blockSize == 0 || blockSize > kMaxReadOutBlock || (width != 1 && width != 2)) return 1;
  // A failed read-out must not destroy the file it was pointed at. Binary mode for the
  // binary format, text mode for the others, so that Windows ends their lines as it ends text lines.
  OutputFile output(fileName, format == ImageFormat::Binary);
  if (output.Stream() == nullptr) return 1;

  std::uint32_t position = start;
  while (position + blockSize <= end) {
    int result = ReadBlock(context, output.Stream(), format, busAddress, position, blockSize, width);
    if (result != 0) return result;
    progress.ProgressStep();
    position += blockSize;
  }
  if (end > position) {
    int result =
        ReadBlock(context, output.Stream(), format, busAddress, position, static_cast<std::uint16_t>(end - position), width);
    if (result != 0) return result;
  }
  if (format == ImageFormat::IntelHex) WriteIntelHexEnd(output.Stream());
  return output.Commit() ? 0 : 1;
}

}  // namespace tessora

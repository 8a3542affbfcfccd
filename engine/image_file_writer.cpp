#include <cstdio>

#include "engine/eeprom_transfer.h"
#include "engine/image_file.h"
#include "platform/output_file.h"

namespace tessora {

namespace {

int ReadBlockLine(EngineContext& context, std::FILE* file, std::uint8_t busAddress, std::uint32_t position,
                  std::uint16_t length, int width) {
  std::uint8_t block[kMaxReadOutBlock];
  std::uint8_t subaddress[2];
  std::fprintf(file, "@%04x ", static_cast<unsigned>(position));
  EncodeSubaddress(position, width, subaddress);
  int result = ReadEepromBlock(context, busAddress, width, subaddress, length, block);
  if (result != 0) {
    std::fputs("could not read from EEPROM", stdout);
    std::fflush(stdout);
    return result;
  }
  for (std::uint16_t i = 0; i < length; ++i) std::fprintf(file, "%02x ", block[i]);
  std::fputs("\n", file);
  return 0;
}

}  // namespace

int ReadOutToFile(EngineContext& context, Progress& progress, const char* fileName, std::uint8_t busAddress,
                  std::uint16_t start, std::uint16_t end, std::uint16_t blockSize, int width) {
  if (fileName == nullptr || fileName[0] == '\0') return 1;
  if (blockSize == 0 || blockSize > kMaxReadOutBlock || (width != 1 && width != 2)) return 1;
  // A failed read-out must not destroy the file it was pointed at.
  OutputFile output(fileName);
  if (output.Stream() == nullptr) return 1;

  std::uint32_t position = start;
  while (position + blockSize <= end) {
    int result = ReadBlockLine(context, output.Stream(), busAddress, position, blockSize, width);
    if (result != 0) return result;
    progress.ProgressStep();
    position += blockSize;
  }
  if (end > position) {
    int result =
        ReadBlockLine(context, output.Stream(), busAddress, position, static_cast<std::uint16_t>(end - position), width);
    if (result != 0) return result;
  }
  return output.Commit() ? 0 : 1;
}

}  // namespace tessora

// Writes a firmware image into a simulated board with the EEPROM engine, reads it back
// out and compares the two, printing each step.
//
//   tessora-demo BOARD_DIR IMAGE_FILE READ_OUT_FILE
#include <cstdio>
#include <string>
#include <vector>

#include "engine/direct_board.h"
#include "engine/eeprom_transfer.h"
#include "engine/engine_context.h"
#include "engine/image_file.h"
#include "engine/program_image.h"
#include "platform/sim/board_directory.h"

namespace {

class DotProgress : public tessora::Progress {
 public:
  void ProgressStep() override { ++steps; }
  int steps = 0;
};

int Fail(const std::string& text) {
  std::fprintf(stderr, "tessora-demo: %s\n", text.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return Fail("usage: tessora-demo BOARD_DIR IMAGE_FILE READ_OUT_FILE");
  std::string error;
  auto directory = tessora::sim::BoardDirectory::Open(argv[1], error);
  if (!directory) return Fail(error);
  tessora::sim::SimBoard& board = directory->Board();

  tessora::Settings settings;
  tessora::DirectDispatch dispatch(board);
  tessora::EngineContext context(settings, dispatch);
  context.pageSize = 64;
  int width = board.EepromPart().AddressBytes();
  settings.subaddressing = static_cast<std::uint8_t>(width);

  std::vector<std::uint8_t> scratch(65535);
  int count = tessora::ReadImageFile(argv[2], scratch.data(), static_cast<int>(scratch.size()));
  if (count <= 0) return Fail(std::string("could not read image ") + argv[2]);
  std::printf("image %s: %d bytes\n", argv[2], count);

  DotProgress progress;
  if (tessora::ProgramImage(context, progress, argv[2], settings.eepromAddress, 64, width) != 0)
    return Fail("programming failed");
  std::printf("programmed and verified %d pages of 64 bytes (%d-byte subaddressing)\n", progress.steps, width);

  std::int32_t header = tessora::ReadHeaderSize(context, settings.eepromAddress, width);
  std::printf("EEPROM header gives an image size of %d bytes\n", header);

  DotProgress readProgress;
  int readSize = header >= 1 && header <= tessora::MaxEepromSize ? header : count;
  if (tessora::ReadOutToFile(context, readProgress, argv[3], settings.eepromAddress, 0,
                             static_cast<std::uint16_t>(readSize), 16, width) != 0)
    return Fail("read-out failed");
  std::printf("read %d bytes out into %s\n", readSize, argv[3]);

  std::vector<std::uint8_t> written(65535, 0xFF);
  std::vector<std::uint8_t> readBack(65535, 0xFF);
  tessora::ReadImageFile(argv[2], written.data(), 65535);
  int readCount = tessora::ReadImageFile(argv[3], readBack.data(), 65535);
  bool same = readCount == count && written == readBack;
  std::printf("%s\n", same ? "read-out matches the image" : "read-out DIFFERS from the image");
  if (!directory->Save(error)) return Fail(error);
  return same ? 0 : 1;
}

// The image reader on any file content, at both part capacities.
#include <cstdint>
#include <vector>

#include "engine/image_file.h"
#include "fuzz/input_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const tessora::fuzz::InputFile file;
  std::string path = file.Write(data, size, "image.hex");
  for (int capacity : {256, 16384}) {
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(capacity), 0xEE);
    int length = tessora::ReadImageFile(path.c_str(), buffer.data(), capacity);
    if (length > capacity) __builtin_trap();  // the length is the highest address stored + 1
  }
  return 0;
}

// The Intel HEX reader on any file content, at both part capacities: a length it reports
// stays within the buffer, and nothing at or above it was written.
#include <cstdint>
#include <vector>

#include "engine/image_format.h"
#include "fuzz/input_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const tessora::fuzz::InputFile file;
  std::string path = file.Write(data, size, "image.ihex");
  for (int capacity : {256, 16384}) {
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(capacity), 0xEE);
    tessora::ImageProblem problem;
    int length = tessora::ReadImageAs(path.c_str(), tessora::ImageFormat::IntelHex, buffer.data(), capacity, &problem);
    if (length > capacity) __builtin_trap();
    for (int address = length > 0 ? length : capacity; address < capacity; ++address)
      if (buffer[static_cast<std::size_t>(address)] != 0xEE) __builtin_trap();
  }
  return 0;
}

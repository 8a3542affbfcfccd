#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tessora::testing {

// Writes 8-bit RGB pixels (rows top to bottom, 3 bytes a pixel) as a PNG file. The image
// data goes into stored deflate blocks: screenshots need no compression, only a file any
// viewer opens. False when the file cannot be written.
bool WritePng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgb);

}  // namespace tessora::testing

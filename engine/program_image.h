#pragma once
#include <cstdint>

#include "engine/engine_context.h"
#include "engine/image_format.h"
#include "engine/progress.h"

namespace tessora {

// Writes an image file into the EEPROM page by page, reading every page back: every
// byte at its address, up to the highest address the file gives. The header (the first
// 64 bytes) is erased first and written last, so a board whose update breaks off never
// boots a half-written image. 0 = success, 1 = failure.
int ProgramImage(EngineContext& context, Progress& progress, const char* fileName, std::uint8_t busAddress,
                 std::uint16_t pageSize, int width, ImageFormat format = ImageFormat::Text);

}  // namespace tessora

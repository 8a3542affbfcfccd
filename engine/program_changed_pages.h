#pragma once
#include <cstdint>

#include "engine/engine_context.h"
#include "engine/image_format.h"
#include "engine/progress.h"

namespace tessora {

// An update that writes only what differs. Every page of the image is read first (one
// progress step each); a board that already holds the image is only read. When anything
// differs, the header (kHeaderBytes) is erased first and written last, top down, as in a
// full update, so a board whose update breaks off never boots a half-written image: the
// pages that differ are written and verified in between. 0 = success (pagesWritten: pages written and
// verified, the header's included), 1 = failure.
int ProgramChangedPages(EngineContext& context, Progress& progress, const char* fileName, ImageFormat format,
                        std::uint8_t busAddress, std::uint16_t pageSize, int width, std::uint32_t& pagesWritten);

}  // namespace tessora

#include "engine/program_changed_pages.h"

#include <algorithm>
#include <vector>

#include "engine/compare_eeprom.h"
#include "engine/eeprom_pages.h"
#include "engine/eeprom_transfer.h"

namespace tessora {

int ProgramChangedPages(EngineContext& context, Progress& progress, const char* fileName, ImageFormat format,
                        std::uint8_t busAddress, std::uint16_t pageSize, int width, std::uint32_t& pagesWritten) {
  pagesWritten = 0;
  if (pageSize == 0 || pageSize > kMaxEepromPage) return 1;
  std::vector<std::uint8_t> image;
  int count = LoadImageForPart(fileName, format, width, image);
  if (count <= 0) return 1;
  std::uint32_t size = static_cast<std::uint32_t>(count);

  EepromPages pages(context, busAddress, width);
  std::vector<std::uint32_t> changed;
  ImageMismatch mismatch;
  if (CompareEeprom(context, progress, busAddress, width, image.data(), size, pageSize, mismatch, &changed) != 0)
    return 1;
  if (changed.empty()) return 0;

  if (!pages.EraseHeader(pageSize)) return 1;
  // A part too small for the image reads its lower pages where the upper ones should be,
  // and would take their writes there. The probe's byte starts a page (the probe is a
  // power of two, the page size one that divides it); when no page here writes it again
  // it gets the image's byte back.
  std::uint32_t probe = EepromPages::ProbeAddress(size);
  bool probeRewritten = probe == size || std::find(changed.begin(), changed.end(), probe) != changed.end();
  if (!pages.ReachesEndOf(size) || (!probeRewritten && !pages.WriteVerified(probe, 1, image.data() + probe))) {
    pages.EraseHeader(pageSize);
    return 1;
  }
  for (std::uint32_t position : changed) {
    if (position < kHeaderBytes) continue;
    std::uint32_t length = std::min<std::uint32_t>(pageSize, size - position);
    if (StopRequested(context) || !pages.WriteVerified(position, length, image.data() + position)) return 1;
    ++pagesWritten;
  }
  bool written = pages.WriteHeaderLast(image.data(), size, pageSize,
                                       [&](std::uint32_t, std::uint32_t) { ++pagesWritten; });
  return written ? 0 : 1;
}

}  // namespace tessora

#pragma once
#include <cstdint>
#include <string>

namespace tessora {

// "[#####.....] 4096/16384 bytes  12.3 kB/s  0:04 left": a bar of barWidth characters
// filled `position` of `maximum`, the bytes done of the total, and the rate and the time
// left from the seconds the bytes done took.
std::string ProgressText(int barWidth, int position, int maximum, std::uint32_t done, std::uint32_t total,
                         double seconds);

}  // namespace tessora

#include "app/console/progress_text.h"

#include <cstdio>

namespace tessora {

std::string ProgressText(int barWidth, int position, int maximum, std::uint32_t done, std::uint32_t total,
                         double seconds) {
  int filled = maximum > 0 ? position * barWidth / maximum : 0;
  std::string text = "[";
  for (int i = 0; i < barWidth; ++i) text += i < filled ? '#' : '.';
  char numbers[96];
  if (done == 0 || seconds <= 0) {
    std::snprintf(numbers, sizeof numbers, "] %u/%u bytes  --- B/s", static_cast<unsigned>(done),
                  static_cast<unsigned>(total));
  } else {
    double rate = done / seconds;
    auto left = static_cast<unsigned>((total > done ? total - done : 0) / rate + 0.5);
    std::snprintf(numbers, sizeof numbers, "] %u/%u bytes  %.1f kB/s  %u:%02u left", static_cast<unsigned>(done),
                  static_cast<unsigned>(total), rate / 1000, left / 60, left % 60);
  }
  return text + numbers;
}

}  // namespace tessora

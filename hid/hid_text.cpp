#include "hid/hid_text.h"

#include <cstring>

namespace tessora {

bool NarrowLikeWcstombs(const char16_t* units, std::size_t unitCount, char* destination,
                        std::size_t destinationSize) {
  if (destinationSize == 0) return false;
  std::size_t length = 0;
  for (; length < unitCount && units[length] != u'\0'; ++length) {
    if (units[length] > 0xFF || length + 1 >= destinationSize) {
      destination[0] = '\0';
      return false;
    }
    destination[length] = static_cast<char>(units[length]);
  }
  destination[length] = '\0';
  return true;
}

void NarrowToLowBytes(const char16_t* units, std::size_t unitCount, char* destination,
                      std::size_t destinationSize) {
  if (destinationSize == 0) return;
  std::size_t length = 0;
  for (; length < unitCount && length + 1 < destinationSize; ++length) {
    char low = static_cast<char>(units[length] & 0xFF);
    if (low == '\0') break;
    destination[length] = low;
  }
  destination[length] = '\0';
}

bool CopyTextIfFits(const char* text, char* destination, std::size_t destinationSize) {
  for (std::size_t i = 0; i < destinationSize; ++i) {
    if (text[i] == '\0') {
      std::memcpy(destination, text, i + 1);
      return true;
    }
  }
  return false;
}

}  // namespace tessora

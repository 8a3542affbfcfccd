#pragma once
#include <cstdint>
#include <cstring>
#include <string>

namespace tessora {

// A HID string into the caller's buffer as HID.DLL hands it over: as many UTF-16 units as
// fit, with the terminator only when it fits too.
inline void CopyHidString(const std::u16string& text, char16_t* buffer, std::uint32_t bufferBytes) {
  std::size_t units = bufferBytes / sizeof(char16_t);
  std::size_t copied = text.size() < units ? text.size() : units;
  std::memcpy(buffer, text.data(), copied * sizeof(char16_t));
  if (copied < units) buffer[copied] = u'\0';
}

}  // namespace tessora

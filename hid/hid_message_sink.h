#pragma once
#include <cstdint>

namespace tessora {

// Where the HID enumeration shows its problems: the shell's message display (a message
// box, owned by the main window or by none, or the debug output in silent mode).
class HidMessageSink {
 public:
  virtual ~HidMessageSink() = default;
  virtual void ShowMessage(bool ownedByMainWindow, const char* text, const char* caption, std::uint32_t style) = 0;
};

constexpr const char* kHidMessageCaption = "Error!";
constexpr std::uint32_t kHidMessageStyle = 16;  // MB_ICONERROR

}  // namespace tessora

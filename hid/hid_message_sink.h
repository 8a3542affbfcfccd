#pragma once
#include <cstdint>

#include "platform/types.h"

namespace tessora {

// Where the HID enumeration shows its problems: the shell's message display (a message
// box with these four arguments, or the debug output in silent mode).
class HidMessageSink {
 public:
  virtual ~HidMessageSink() = default;
  virtual void ShowMessage(OsHandle owner, const char* text, const char* caption, std::uint32_t style) = 0;
};

constexpr const char* kHidMessageCaption = "Error!";
constexpr std::uint32_t kHidMessageStyle = 16;  // MB_ICONERROR

}  // namespace tessora

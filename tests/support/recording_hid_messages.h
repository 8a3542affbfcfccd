#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "hid/hid_message_sink.h"

namespace tessora::test {

// A message box as one line: "owned " when the main window owns it, the caption in
// brackets, the style in hex, the text.
inline std::string MessageBoxLine(bool ownedByMainWindow, const char* text, const char* caption, std::uint32_t style) {
  char styleText[16];
  std::snprintf(styleText, sizeof styleText, "%x", style);
  return std::string(ownedByMainWindow ? "owned " : "") + "[" + (caption ? caption : "-") + "] " + styleText + " " +
         text;
}

// Keeps the HID subsystem's messages as the message boxes the shell would show.
class RecordingHidMessages : public HidMessageSink {
 public:
  void ShowMessage(bool ownedByMainWindow, const char* text, const char* caption, std::uint32_t style) override {
    boxes.push_back(MessageBoxLine(ownedByMainWindow, text, caption, style));
  }
  std::vector<std::string> Boxes() const { return boxes; }

  std::vector<std::string> boxes;
};

}  // namespace tessora::test

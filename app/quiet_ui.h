#pragma once
#include <string>

#include "app/ui_port.h"

namespace tessora {

// A window that shows nothing: for boards run side by side, whose last message is kept for
// a result line of their own, and for runs that are only timed.
class QuietUi : public UiPort, public ProgressBar {
 public:
  void RepaintNow(const char* /*statusText*/) override {}
  void ShowMessageBox(bool /*ownedByMainWindow*/, const char* text, const char* /*caption*/,
                      std::uint32_t /*style*/) override {
    lastMessage_ = text;
  }
  bool AskFileName(FileQuestion /*question*/, char* /*path*/, std::size_t /*capacity*/) override { return false; }
  ProgressBar& Progress() override { return *this; }
  void StandardOutput(const char* /*line*/) override {}
  void Create() override {}
  void SetRange(std::uint16_t /*maximum*/) override {}
  void SetPosition(int /*position*/) override {}
  void Destroy() override {}
  void ProgressStep() override {}

  std::string OneLineMessage() const {
    std::string line = lastMessage_;
    for (char& c : line)
      if (c == '\n' || c == '\r') c = ' ';
    return line;
  }

 private:
  std::string lastMessage_;
};

}  // namespace tessora

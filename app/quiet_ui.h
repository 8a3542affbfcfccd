#pragma once
#include <algorithm>
#include <functional>
#include <string>

#include "app/ui_port.h"

namespace tessora {

// A window that shows nothing: for boards run side by side, whose last message is kept for
// a result line of their own, and for runs that are only timed.
class QuietUi : public UiPort, public ProgressBar {
 public:
  // How far the procedure has come, as it steps on: bytes done of the total, or steps of
  // the range where it counts no bytes.
  using ProgressReport = std::function<void(std::uint32_t done, std::uint32_t total)>;
  explicit QuietUi(ProgressReport report = {}) : report_(std::move(report)) {}

  void RepaintNow(const char* /*statusText*/) override {}
  void ShowMessageBox(bool /*ownedByMainWindow*/, const char* text, const char* /*caption*/,
                      std::uint32_t /*style*/) override {
    lastMessage_ = text;
  }
  bool AskFileName(FileQuestion /*question*/, char* /*path*/, std::size_t /*capacity*/) override { return false; }
  ProgressBar& Progress() override { return *this; }
  void StandardOutput(const char* /*line*/) override {}
  void Create() override {}
  void SetRange(std::uint16_t maximum) override { maximum_ = maximum; }
  void SetPosition(int /*position*/) override {}
  void Destroy() override {}
  void CountBytes(std::uint32_t bytesPerStep, std::uint32_t totalBytes) override {
    bytesPerStep_ = bytesPerStep;
    totalBytes_ = totalBytes;
    steps_ = 0;
    Report();
  }
  void ProgressStep() override {
    ++steps_;
    Report();
  }

  std::string OneLineMessage() const {
    std::string line = lastMessage_;
    for (char& c : line)
      if (c == '\n' || c == '\r') c = ' ';
    return line;
  }

 private:
  void Report() const {
    if (!report_) return;
    if (bytesPerStep_ == 0) return report_(steps_, maximum_);
    report_(std::min(totalBytes_, steps_ * bytesPerStep_), totalBytes_);
  }

  ProgressReport report_;
  std::uint32_t maximum_ = 0;
  std::uint32_t bytesPerStep_ = 0;
  std::uint32_t totalBytes_ = 0;
  std::uint32_t steps_ = 0;
  std::string lastMessage_;
};

}  // namespace tessora

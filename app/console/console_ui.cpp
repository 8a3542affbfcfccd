#include "app/console/console_ui.h"

#include <algorithm>
#include <string_view>

#include "app/console/progress_text.h"

namespace tessora {

namespace {

constexpr int kBarWidth = 30;

}  // namespace

ConsoleUi::ConsoleUi(const bool& silentMode, ConsoleStreams streams) : silentMode_(silentMode), streams_(streams) {}

void ConsoleUi::RepaintNow(const char* /*statusText*/) {
  // The progress text already went to standard output; only the bar is redrawn.
  if (BarVisible()) DrawBar();
}

void ConsoleUi::ShowMessageBox(bool /*ownedByMainWindow*/, const char* text, const char* caption, std::uint32_t style) {
  bool error = (style & kStyleErrorIcon) != 0;
  if (!error && (streams_.programLines != nullptr || streams_.errorsOnly)) return;
  if (streams_.programLines != nullptr) errorSaid_ = text;
  EraseBar();
  if (caption != nullptr && caption[0] != '\0' && std::string_view(caption) != "OK")
    std::fprintf(stderr, "%s %s\n", caption, text);
  else
    std::fprintf(stderr, "%s\n", text);
  std::fflush(stderr);
}

bool ConsoleUi::AskFileName(FileQuestion /*question*/, char* /*path*/, std::size_t /*capacity*/) { return false; }

void ConsoleUi::StandardOutput(const char* line) {
  if (streams_.programLines == nullptr) return;
  bool repeatsError = errorSaid_ == line;
  errorSaid_.clear();
  if (repeatsError) return;
  EraseBar();
  std::fprintf(streams_.programLines, "%s\n", line);
  std::fflush(streams_.programLines);
  if (BarVisible()) DrawBar();
}

void ConsoleUi::Create() {
  barActive_ = true;
  maximum_ = 0;
  position_ = 0;
  bytesPerStep_ = 0;
}

void ConsoleUi::SetRange(std::uint16_t maximum) {
  maximum_ = maximum;
  if (BarVisible()) DrawBar();
}

void ConsoleUi::SetPosition(int position) {
  position_ = position;
  if (BarVisible()) DrawBar();
}

void ConsoleUi::CountBytes(std::uint32_t bytesPerStep, std::uint32_t totalBytes) {
  bytesPerStep_ = bytesPerStep;
  totalBytes_ = totalBytes;
  steps_ = 0;
  started_ = std::chrono::steady_clock::now();
  if (BarVisible()) DrawBar();
}

void ConsoleUi::ProgressStep() {
  // Like the window's bar, the position wraps back to the start past the range.
  position_ = position_ + 1 > maximum_ ? 0 : position_ + 1;
  ++steps_;
  if (BarVisible()) DrawBar();
}

void ConsoleUi::Destroy() {
  EraseBar();
  barActive_ = false;
}

void ConsoleUi::DrawBar() {
  if (bytesPerStep_ == 0) {
    std::string bar = ProgressText(kBarWidth, position_, maximum_, 0, 0, 0);
    std::fprintf(stderr, "\r%s %d/%d", bar.substr(0, bar.find(']') + 1).c_str(), position_, maximum_);
  } else {
    std::uint32_t done = std::min(totalBytes_, steps_ * bytesPerStep_);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    std::fprintf(stderr, "\r%s\033[K", ProgressText(kBarWidth, position_, maximum_, done, totalBytes_, seconds).c_str());
  }
  std::fflush(stderr);
  barDrawn_ = true;
}

void ConsoleUi::EraseBar() {
  if (!barDrawn_) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  barDrawn_ = false;
}

}  // namespace tessora

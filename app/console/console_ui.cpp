#include "app/console/console_ui.h"

#include <unistd.h>

#include <string_view>

namespace tessora {

namespace {

constexpr int kBarWidth = 40;

}  // namespace

ConsoleUi::ConsoleUi(const bool& silentMode) : silentMode_(silentMode), interactive_(isatty(STDERR_FILENO) == 1) {}

void ConsoleUi::RepaintNow(const char* /*statusText*/) {
  // The progress text already went to standard output; only the bar is redrawn.
  if (BarVisible()) DrawBar();
}

void ConsoleUi::ShowMessageBox(bool /*ownedByMainWindow*/, const char* text, const char* caption, std::uint32_t /*style*/) {
  EraseBar();
  if (caption != nullptr && caption[0] != '\0' && std::string_view(caption) != "OK")
    std::fprintf(stderr, "%s %s\n", caption, text);
  else
    std::fprintf(stderr, "%s\n", text);
  std::fflush(stderr);
}

bool ConsoleUi::AskFileName(FileQuestion /*question*/, char* /*path*/, std::size_t /*capacity*/) { return false; }

void ConsoleUi::StandardOutput(const char* line) {
  EraseBar();
  std::printf("%s%s", line, "\n");
  std::fflush(stdout);
  if (BarVisible()) DrawBar();
}

void ConsoleUi::Create() {
  barActive_ = true;
  maximum_ = 0;
  position_ = 0;
}

void ConsoleUi::SetRange(std::uint16_t maximum) {
  maximum_ = maximum;
  if (BarVisible()) DrawBar();
}

void ConsoleUi::SetPosition(int position) {
  position_ = position;
  if (BarVisible()) DrawBar();
}

void ConsoleUi::ProgressStep() {
  // Like the window's bar, the position wraps back to the start past the range.
  position_ = position_ + 1 > maximum_ ? 0 : position_ + 1;
  if (BarVisible()) DrawBar();
}

void ConsoleUi::Destroy() {
  EraseBar();
  barActive_ = false;
}

void ConsoleUi::DrawBar() {
  int filled = maximum_ > 0 ? position_ * kBarWidth / maximum_ : 0;
  char bar[kBarWidth + 1];
  for (int i = 0; i < kBarWidth; ++i) bar[i] = i < filled ? '#' : '.';
  bar[kBarWidth] = '\0';
  std::fprintf(stderr, "\r[%s] %d/%d", bar, position_, maximum_);
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

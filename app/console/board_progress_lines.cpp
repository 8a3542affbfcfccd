#include "app/console/board_progress_lines.h"

#include <algorithm>

#include "app/console/progress_text.h"

namespace tessora {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
// Short enough that a board's line fits 80 columns beside its serial number.
constexpr int kBarWidth = 20;

}  // namespace

BoardProgressLines::BoardProgressLines(std::FILE* terminal, const std::vector<std::string>& names)
    : terminal_(terminal) {
  for (const std::string& name : names) {
    running_[nextBoard_++].name = name;
    nameWidth_ = std::max(nameWidth_, name.size());
  }
  lastDrawn_ = Clock::now() - kRedrawInterval;
}

BoardProgressLines::~BoardProgressLines() {
  std::lock_guard lock(mutex_);
  Erase();
}

std::size_t BoardProgressLines::Add(const std::string& name) {
  std::lock_guard lock(mutex_);
  std::size_t board = nextBoard_++;
  Line& line = running_[board];
  line.name = name;
  line.started = Clock::now();
  nameWidth_ = std::max(nameWidth_, name.size());
  Erase();
  Draw();
  return board;
}

void BoardProgressLines::Update(std::size_t board, std::uint32_t done, std::uint32_t total) {
  std::lock_guard lock(mutex_);
  auto found = running_.find(board);
  if (found == running_.end()) return;
  Line& line = found->second;
  // A new count (the procedure's next phase) starts its own clock.
  if (done == 0 || total != line.total) line.started = Clock::now();
  line.done = done;
  line.total = total;
  if (Clock::now() - lastDrawn_ < kRedrawInterval) return;
  Erase();
  Draw();
}

void BoardProgressLines::Ended(std::size_t board, const std::function<void()>& printResult,
                               const std::string& totals) {
  std::lock_guard lock(mutex_);
  Erase();
  printResult();
  running_.erase(board);
  totals_ = totals;
  Draw();
}

void BoardProgressLines::Erase() {
  if (drawn_ == 0) return;
  // Up to the block's first line, then clear from there to the end of the screen.
  std::fprintf(terminal_, "\033[%dA\r\033[J", drawn_);
  std::fflush(terminal_);
  drawn_ = 0;
}

void BoardProgressLines::Draw() {
  for (const auto& [board, line] : running_) {
    double seconds = std::chrono::duration<double>(Clock::now() - line.started).count();
    std::string progress = line.total == 0 ? "starting"
                                           : ProgressText(kBarWidth, static_cast<int>(line.done),
                                                          static_cast<int>(line.total), line.done, line.total, seconds);
    std::fprintf(terminal_, "%-*s %s\n", static_cast<int>(nameWidth_), line.name.c_str(), progress.c_str());
    ++drawn_;
  }
  if (!totals_.empty()) {
    std::fprintf(terminal_, "%s\n", totals_.c_str());
    ++drawn_;
  }
  std::fflush(terminal_);
  lastDrawn_ = Clock::now();
}

}  // namespace tessora

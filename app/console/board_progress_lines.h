#pragma once
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace tessora {

// The progress of boards run side by side on a terminal: one line for each board still
// running, kept below the result lines of the boards that have ended.
class BoardProgressLines {
 public:
  BoardProgressLines(std::FILE* terminal, const std::vector<std::string>& names);
  ~BoardProgressLines();
  BoardProgressLines(const BoardProgressLines&) = delete;
  BoardProgressLines& operator=(const BoardProgressLines&) = delete;

  // From the board's thread; the lines are redrawn a few times a second.
  void Update(std::size_t board, std::uint32_t done, std::uint32_t total);
  // Prints the ended board's result line (through printResult) above the block, which from
  // then on leaves the board out.
  void Ended(std::size_t board, const std::function<void()>& printResult);

 private:
  using Clock = std::chrono::steady_clock;
  struct Line {
    std::string name;
    bool running = true;
    std::uint32_t done = 0;
    std::uint32_t total = 0;
    Clock::time_point started;
  };
  void Erase();
  void Draw();

  std::FILE* terminal_;
  std::mutex mutex_;
  std::vector<Line> lines_;
  std::size_t nameWidth_ = 0;
  int drawn_ = 0;  // lines on the screen now
  Clock::time_point lastDrawn_;
};

}  // namespace tessora

#pragma once
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace tessora {

// The progress of boards run side by side on a terminal: one line for each board still
// running, kept below the result lines of the boards that have ended, and under them a
// line of totals when there is one. Boards may join while others run.
class BoardProgressLines {
 public:
  // Boards 0 to names.size() - 1, all running.
  BoardProgressLines(std::FILE* terminal, const std::vector<std::string>& names);
  ~BoardProgressLines();
  BoardProgressLines(const BoardProgressLines&) = delete;
  BoardProgressLines& operator=(const BoardProgressLines&) = delete;

  // A board that starts now; its number for Update and Ended.
  std::size_t Add(const std::string& name);
  // From the board's thread; the lines are redrawn a few times a second.
  void Update(std::size_t board, std::uint32_t done, std::uint32_t total);
  // Prints the ended board's result line (through printResult) above the block, which from
  // then on leaves the board out, and shows the totals line given (none when empty).
  void Ended(std::size_t board, const std::function<void()>& printResult, const std::string& totals = {});

 private:
  using Clock = std::chrono::steady_clock;
  struct Line {
    std::string name;
    std::uint32_t done = 0;
    std::uint32_t total = 0;
    Clock::time_point started;
  };
  void Erase();
  void Draw();

  std::FILE* terminal_;
  std::mutex mutex_;
  std::map<std::size_t, Line> running_;  // by board number
  std::size_t nextBoard_ = 0;
  std::size_t nameWidth_ = 0;
  std::string totals_;
  int drawn_ = 0;  // lines on the screen now
  Clock::time_point lastDrawn_;
};

}  // namespace tessora

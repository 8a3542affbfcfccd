#include "app/console/station_run.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "app/board_runs.h"
#include "app/console/board_line.h"
#include "app/console/board_progress_lines.h"
#include "app/console/console_action.h"
#include "app/console/exit_status.h"
#include "app/procedures.h"
#include "app/stored_settings.h"

namespace tessora {

namespace {

// How long a wait for devices lasts before the station looks at its stop request: a signal
// cannot wake the watch, and a fifth of a second is soon enough for a person at the line.
constexpr std::uint32_t kStopCheckMs = 200;
// A progress line number no board has.
constexpr std::size_t kNoBoard = static_cast<std::size_t>(-1);

// A board being run, on its own thread, with what it runs through.
struct RunningBoard {
  BoardAccess access;
  std::size_t line = 0;  // its number among the progress lines
  std::thread thread;
  std::atomic<bool> ended{false};
};

class Station {
 public:
  Station(ShellContext& shell, DeviceAccess& devices, const ConsoleRequest& request, const StartCommand& command,
          ResultSink& results, DeviceWatch& watch, bool showProgress)
      : shell_(shell), devices_(devices), request_(request), command_(command), results_(results), watch_(watch) {
    if (showProgress) progress_ = std::make_unique<BoardProgressLines>(stderr, std::vector<std::string>{});
  }

  int Run(const StopRequest& stop) {
    TakeArrivals();
    while (stop.Requests() == 0) {
      if (!watch_.Wait(kStopCheckMs)) continue;
      ReapEnded();
      if (stop.Requests() == 0) TakeArrivals();
    }
    // Drain: the boards under way finish, unless a second signal stops them too.
    Say(running_.empty() ? std::string("Station: no new board is taken")
                         : "Station: no new board is taken; " + std::to_string(running_.size()) +
                               " running (a second signal stops them at their next safe point)");
    while (!running_.empty()) {
      if (stop.Requests() >= 2 && !boardStop_.Requested()) boardStop_.Request(stop.Signal());
      watch_.Wait(kStopCheckMs);
      ReapEnded();
    }
    progress_.reset();
    std::printf("Station: %s\n", Totals().c_str());
    std::fflush(stdout);
    if (stopped_ > 0) return 128 + boardStop_.Signal();
    return failed_ == 0 ? kExitSucceeded : kExitFailed;
  }

 private:
  // Starts every board listed that is neither running nor done, and forgets the done boards
  // no longer listed, so that one plugged in again starts afresh.
  void TakeArrivals() {
    std::set<std::string> listed;
    for (BoardAccess& board : devices_.Boards(shell_.settings)) {
      listed.insert(board.path);
      if (taken_.count(board.path) == 0) Start(std::move(board));
    }
    for (auto taken = taken_.begin(); taken != taken_.end();) {
      if (listed.count(taken->first) != 0 || running_.count(taken->first) != 0) {
        ++taken;
        continue;
      }
      shell_.os.OutputDebugStringA(("Station: " + taken->second + " is gone").c_str());
      taken = taken_.erase(taken);
    }
  }

  void Start(BoardAccess access) {
    std::string label = BoardLine(access.name, access.port);
    shell_.os.OutputDebugStringA(("Station: " + label + " arrived").c_str());
    auto board = std::make_unique<RunningBoard>();
    board->access = std::move(access);
    if (progress_) board->line = progress_->Add(label);
    RunningBoard* running = board.get();
    taken_[running->access.path] = label;
    running_[running->access.path] = std::move(board);
    running->thread = std::thread([this, running] {
      RunBoard(*running);
      running->ended = true;
      watch_.Wake();
    });
  }

  void RunBoard(RunningBoard& board) {
    OneBoardProgress progress;
    if (progress_)
      progress = [this, line = board.line](std::uint32_t done, std::uint32_t total) {
        progress_->Update(line, done, total);
      };
    int status = kExitSucceeded;
    bool stopped = false;
    BoardOutcome outcome = RunOneBoard(
        board.access, shell_.os, shell_.store,
        [&](ShellContext& shell, const BoardAccess& access) {
          shell.engine.stop = &boardStop_;
          status = RunAction(shell, request_, command_, results_, access.path);
          stopped = shell.tally.outcome == kUpdateStopped;
          return status == kExitSucceeded;
        },
        progress);
    std::lock_guard hold(reporting_);
    bool counts = outcome.answered || outcome.mustAnswer;
    if (counts) {
      ++(outcome.succeeded ? passed_ : failed_);
      stopped_ += stopped ? 1 : 0;
    }
    auto print = [&] {
      if (counts) PrintBoardLine(outcome);
    };
    if (progress_) progress_->Ended(board.line, print, Totals());
    else print();
  }

  // On a terminal above the progress lines, elsewhere a debug line.
  void Say(const std::string& line) {
    if (!progress_) return shell_.os.OutputDebugStringA(line.c_str());
    std::lock_guard hold(reporting_);
    progress_->Ended(kNoBoard, [&] { std::fprintf(stderr, "%s\n", line.c_str()); }, Totals());
  }

  // Joins the boards whose threads have ended; they stay taken while they are listed.
  void ReapEnded() {
    for (auto board = running_.begin(); board != running_.end();) {
      if (!board->second->ended) {
        ++board;
        continue;
      }
      board->second->thread.join();
      board = running_.erase(board);
    }
  }

  // "3 passed, 1 failed, 412 boards per hour".
  std::string Totals() const {
    double hours = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count() / 3600.0;
    char text[96];
    std::snprintf(text, sizeof text, "%d passed, %d failed, %.0f boards per hour", passed_, failed_,
                  hours > 0 ? (passed_ + failed_) / hours : 0.0);
    return text;
  }

  ShellContext& shell_;
  DeviceAccess& devices_;
  const ConsoleRequest& request_;
  const StartCommand& command_;
  ResultSink& results_;
  DeviceWatch& watch_;
  std::unique_ptr<BoardProgressLines> progress_;
  StopRequest boardStop_;  // the boards', asked on the station's second signal
  const std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
  std::map<std::string, std::unique_ptr<RunningBoard>> running_;  // by interface path
  std::map<std::string, std::string> taken_;  // running or done, by interface path: the board's label
  std::mutex reporting_;
  int passed_ = 0;
  int failed_ = 0;
  int stopped_ = 0;
};

}  // namespace

int RunStation(ShellContext& shell, DeviceAccess& devices, const ConsoleRequest& request,
               const StartCommand& command, ResultSink& results, bool showProgress, const StopRequest& stop) {
  std::unique_ptr<DeviceWatch> watch = devices.WatchBoards();
  if (!watch) {
    std::fprintf(stderr, "tessora: --station cannot wait for devices on this system\n");
    return kExitFailed;
  }
  if (showProgress)
    std::fprintf(stderr, "Waiting for controllers on the %s interface; Ctrl+C ends the station.\n",
                 InterfaceName(shell.settings));
  // What was said before the wait is read while the station waits, in a log as on a screen.
  std::fflush(stdout);
  Station station(shell, devices, request, command, results, *watch, showProgress);
  return station.Run(stop);
}

}  // namespace tessora

#include "bench/station_run.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "engine/settings.h"

namespace tessora::bench {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// A station on the boards, its lines in `lines`; ended by SIGINT as the object ends.
class Station {
 public:
  Station(const std::string& program, const std::vector<std::string>& arguments, const std::string& boards,
          const fs::path& lines)
      : lines_(lines) {
    std::vector<std::string> own = arguments;
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (std::string& argument : own) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::string boardVariable = "TESSORA_SIM=" + boards;
    std::string configVariable = "XDG_CONFIG_HOME=" + (lines.parent_path() / "config").string();
    child_ = fork();
    if (child_ == 0) {
      putenv(boardVariable.data());
      putenv(configVariable.data());
      std::FILE* sink = std::freopen(lines.c_str(), "w", stdout);
      sink = std::freopen("/dev/null", "w", stderr);
      (void)sink;
      execv(program.c_str(), argv.data());
      _exit(127);
    }
  }
  ~Station() { End(); }
  Station(const Station&) = delete;
  Station& operator=(const Station&) = delete;

  pid_t Pid() const { return child_; }
  // Once it has said it started and has had time to take its first inventory and set its
  // watch: what comes after is an arrival.
  bool AwaitWaiting() {
    auto start = Clock::now();
    while (Count(ReadText(lines_), "Image file:") == 0 && SecondsSince(start) < 10) Poll();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    return Count(ReadText(lines_), "Image file:") > 0;
  }
  // Until `count` result lines, or 300 s; true when all succeeded.
  bool AwaitResults(std::size_t count) {
    auto start = Clock::now();
    std::string text;
    while (Count(text = ReadText(lines_), ": succeeded") + Count(text, ": FAILED") < count && SecondsSince(start) < 300)
      Poll();
    return Count(text, ": succeeded") == count;
  }
  bool End() {
    if (child_ <= 0) return false;
    kill(child_, SIGINT);
    int status = 0;
    bool ended = waitpid(child_, &status, 0) == child_ && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    child_ = 0;
    return ended;
  }

 private:
  static void Poll() { std::this_thread::sleep_for(std::chrono::microseconds(200)); }

  fs::path lines_;
  pid_t child_ = 0;
};

std::vector<fs::path> UnpluggedBoards(const fs::path& work, int boards, const sim::BoardConfig& timing) {
  std::vector<fs::path> directories;
  for (int b = 0; b < boards; ++b) {
    fs::path board = work / ("board-" + std::to_string(b));
    fs::remove_all(board);
    fs::create_directories(board);
    std::ofstream(board / "board.conf") << TimingBoardConf(timing);
    std::ofstream(board / "eeprom.bin", std::ios::binary) << std::string(MaxEepromSize, '\xFF');
    std::ofstream(board / "unplugged");
    directories.push_back(board);
  }
  return directories;
}

StationFigures MeasureOnce(const std::string& program, Interface interface, const sim::BoardConfig& timing,
                           const fs::path& work, int boards) {
  StationFigures figures;
  std::vector<fs::path> directories = UnpluggedBoards(work, boards, timing);
  std::string list;
  for (const fs::path& board : directories) list += (list.empty() ? "" : ":") + board.string();
  std::ofstream(work / "image.hex") << ImageText(FullImage());
  Station station(program, {"--interface", InterfaceName(interface), "--station", (work / "image.hex").string()},
                  list, work / "lines");
  if (!station.AwaitWaiting()) return figures;
  auto plugged = Clock::now();
  for (const fs::path& board : directories) fs::remove(board / "unplugged");
  fs::path firstTrace = directories.front() / "trace.log";
  std::error_code missing;
  while (fs::file_size(firstTrace, missing) == 0 && SecondsSince(plugged) < 10)
    std::this_thread::sleep_for(std::chrono::microseconds(50));
  figures.firstRequest = SecondsSince(plugged);
  bool updated = station.AwaitResults(static_cast<std::size_t>(boards));
  figures.seconds = SecondsSince(plugged);
  figures.succeeded = updated && station.End();
  return figures;
}

// Nanoseconds on a CPU of every thread of the process, as the scheduler counts them.
long long CpuNanoseconds(pid_t pid) {
  long long total = 0;
  std::error_code failure;
  for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", failure)) {
    long long onCpu = 0;
    std::ifstream(task.path() / "schedstat") >> onCpu;
    total += onCpu;
  }
  return failure ? -1 : total;
}

}  // namespace

StationFigures MeasureStation(const std::string& program, Interface interface, const sim::BoardConfig& timing,
                              int runs, const std::string& workDirectory, int boards) {
  std::vector<StationFigures> results;
  for (int run = 0; run < runs; ++run) {
    fs::path work = fs::path(workDirectory) / ("station-" + std::to_string(run));
    fs::create_directories(work);
    results.push_back(MeasureOnce(program, interface, timing, work, boards));
    if (!results.back().succeeded) return results.back();
  }
  if (results.empty()) return {};
  StationFigures median;
  median.succeeded = true;
  std::vector<double> seconds, first;
  for (const StationFigures& result : results) {
    seconds.push_back(result.seconds);
    first.push_back(result.firstRequest);
  }
  std::sort(seconds.begin(), seconds.end());
  std::sort(first.begin(), first.end());
  median.seconds = seconds[seconds.size() / 2];
  median.firstRequest = first[first.size() / 2];
  return median;
}

double IdleStationCpuPercent(const std::string& program, const std::string& workDirectory, double seconds) {
  fs::path work = fs::path(workDirectory) / "station-idle";
  fs::create_directories(work);
  std::vector<fs::path> directories = UnpluggedBoards(work, 1, sim::BoardConfig{});
  std::ofstream(work / "image.hex") << ImageText(FullImage());
  Station station(program, {"--interface", "hid", "--station", (work / "image.hex").string()},
                  directories.front().string(), work / "lines");
  if (!station.AwaitWaiting()) return -1;
  long long before = CpuNanoseconds(station.Pid());
  auto start = Clock::now();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  long long after = CpuNanoseconds(station.Pid());
  double wall = SecondsSince(start);
  if (before < 0 || after < 0 || !station.End()) return -1;
  return 100.0 * static_cast<double>(after - before) / 1e9 / wall;
}

}  // namespace tessora::bench

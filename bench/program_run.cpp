#include "bench/program_run.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/settings.h"

namespace tessora::bench {

namespace fs = std::filesystem;

namespace {

void WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Runs the program on the boards (a TESSORA_SIM list) with the settings kept in `config`,
// output discarded.
ProgramResult RunOnce(const std::string& program, std::vector<std::string> arguments, const std::string& boards,
                      const fs::path& config) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  std::string boardVariable = "TESSORA_SIM=" + boards;
  std::string configVariable = "XDG_CONFIG_HOME=" + config.string();

  ProgramResult result;
  auto start = std::chrono::steady_clock::now();
  pid_t child = fork();
  if (child == 0) {
    putenv(boardVariable.data());
    putenv(configVariable.data());
    std::FILE* sink = std::freopen("/dev/null", "w", stdout);
    sink = std::freopen("/dev/null", "w", stderr);
    (void)sink;
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (child < 0 || wait4(child, &status, 0, &usage) != child) return result;
  result.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  auto seconds = [](const timeval& time) { return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6; };
  result.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
  result.succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return result;
}

// The last line of the board's cpu.log: the CPU time its requests took in the last run.
double BoardCpuSeconds(const fs::path& board) {
  std::ifstream log(board / "cpu.log");
  std::string line, last;
  while (std::getline(log, line))
    if (!line.empty()) last = line;
  return last.empty() ? 0 : std::stod(last) / 1e6;
}

std::vector<std::string> Arguments(const BenchCase& bench, const fs::path& board) {
  std::vector<std::string> arguments{"--interface", InterfaceName(bench.interface)};
  switch (bench.procedure) {
    case Procedure::Update: arguments.insert(arguments.end(), {"-s", (board / "image.hex").string()}); break;
    case Procedure::ReadOut: arguments.insert(arguments.end(), {"--read-out", (board / "read-out.hex").string()}); break;
    case Procedure::Clear: arguments.push_back("--clear"); break;
    case Procedure::UpdateChanged:
      arguments.insert(arguments.end(), {"--update-changed", (board / "image.hex").string()});
      break;
  }
  return arguments;
}

}  // namespace

ProgramResult RunProgram(const std::string& program, const BenchCase& bench, const sim::BoardConfig& timing,
                         int runs, const std::string& workDirectory, int boards) {
  std::vector<std::uint8_t> image = FullImage();
  std::vector<ProgramResult> results;
  for (int run = 0; run < runs; ++run) {
    fs::path first = fs::path(workDirectory) / ("board-" + std::to_string(run) + "-0");
    std::string boardList;
    std::vector<fs::path> boardDirectories;
    for (int b = 0; b < boards; ++b) {
      fs::path board = fs::path(workDirectory) / ("board-" + std::to_string(run) + "-" + std::to_string(b));
      boardDirectories.push_back(board);
      fs::remove_all(board);
      fs::create_directories(board);
      std::ofstream(board / "board.conf") << TimingBoardConf(timing);
      WriteBytes(board / "eeprom.bin",
                 bench.procedure == Procedure::Update || bench.procedure == Procedure::Clear
                     ? std::vector<std::uint8_t>(MaxEepromSize, 0xFF)
                     : image);
      boardList += (b == 0 ? "" : ":") + board.string();
    }
    std::ofstream(first / "image.hex") << ImageText(image);
    std::vector<std::string> arguments = Arguments(bench, first);
    if (boards > 1) arguments.insert(arguments.begin(), "--all");
    results.push_back(RunOnce(program, arguments, boardList, first / "config"));
    for (const fs::path& board : boardDirectories) results.back().boardCpuSeconds += BoardCpuSeconds(board);
    if (!results.back().succeeded) return results.back();
  }
  if (results.empty()) return {};
  std::sort(results.begin(), results.end(),
            [](const ProgramResult& a, const ProgramResult& b) { return a.wallSeconds < b.wallSeconds; });
  return results[results.size() / 2];
}

}  // namespace tessora::bench

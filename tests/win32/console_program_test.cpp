// tessora-cli.exe, the console program on Windows, run as a script runs it: its standard
// output read back, on a bench of simulated boards or on the real device stack.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "platform/sim/board_directory.h"
#include "tests/win32/program_state.h"

namespace tessora::testing {
namespace {

struct ConsoleRun {
  DWORD status = 0xFFFFFFFF;
  std::string out;
};

ConsoleRun RunConsoleProgram(const std::string& arguments, const std::string& boards, const TempDir& files) {
  ConsoleRun run;
  char self[MAX_PATH] = {};
  DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return run;
  const auto program = std::filesystem::path(self).parent_path().parent_path() / "bin" / "tessora-cli.exe";
  std::string commandLine = "\"" + program.string() + "\" " + arguments;
  // A file of its own for each run: Wine may still hold the last one's for a moment.
  static int runs = 0;
  const std::string outFile = files.File("out-" + std::to_string(++runs) + ".txt");
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE out = CreateFileA(outFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE) return run.out = "cannot create " + outFile + ": " + std::to_string(GetLastError()), run;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out;
  startup.hStdError = out;
  PROCESS_INFORMATION child{};
  SetEnvironmentVariableA("TESSORA_SIM", boards.empty() ? nullptr : boards.c_str());
  const BOOL started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                      nullptr, &startup, &child);
  SetEnvironmentVariableA("TESSORA_SIM", nullptr);
  CloseHandle(out);
  if (!started) return run.out = "cannot start: " + std::to_string(GetLastError()), run;
  WaitForSingleObject(child.hProcess, 60000);
  GetExitCodeProcess(child.hProcess, &run.status);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  run.out = ReadFile(outFile);
  return run;
}

std::string SerialOf(const TempDir& directory) {
  std::string error;
  auto board = sim::BoardDirectory::Open(directory.Path().string(), error);
  return board ? board->Serial() : error;
}

bool Holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(ConsoleProgram, BoardChoiceAndEveryBoardOnTheBenchAndTheRealStack) {
  TempDir files, first, second;
  const std::vector<std::uint8_t> image = PatternBytes(512);
  const std::string good = files.File("firmware.hex");
  WriteFile(good, ImageText(image));
  const std::string bench = first.Path().string() + ":" + second.Path().string();
  const std::string firstSerial = SerialOf(first), secondSerial = SerialOf(second);
  struct Case {
    std::string arguments;
    std::string boards;
    DWORD status;
    std::vector<std::string> output;
    bool firstHolds, secondHolds;  // the image afterwards
  };
  const Case cases[] = {
      {"--device " + secondSerial + " " + good, bench, 0, {"Firmware update successful."}, false, true},
      {"--device QV000007 " + good, bench, 1, {"no device \"QV000007\""}, false, true},
      {"--all " + good, bench, 0, {firstSerial + ": succeeded", secondSerial + ": succeeded", "2 of 2 boards succeeded"},
       true, true},
      {"--all --clear", bench, 0, {"2 of 2 boards succeeded"}, false, false},
      {"--udev-rule", "", 2, {"--udev-rule is for Linux"}, false, false},
      {"-s " + good, "", 1, {"Could not find installed device."}, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    DeleteSettingsKey();
    ConsoleRun run = RunConsoleProgram(c.arguments, c.boards, files);
    EXPECT_EQ(run.status, c.status) << run.out;
    for (const std::string& line : c.output) EXPECT_TRUE(Holds(run.out, line)) << run.out;
    if (c.boards.empty()) continue;
    EXPECT_EQ(EepromHolds(first, image), c.firstHolds);
    EXPECT_EQ(EepromHolds(second, image), c.secondHolds);
  }
}

}  // namespace
}  // namespace tessora::testing

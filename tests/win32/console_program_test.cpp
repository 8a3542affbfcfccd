// tessora-cli.exe, the console program on Windows, run as a script runs it: its standard
// output read back, on a bench of simulated boards or on the real device stack.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "sim/board/board_directory.h"
#include "tests/win32/debuggee.h"
#include "tests/win32/program_state.h"

namespace tessora::test {
namespace {

// How a result line names the board: its serial number and where it is plugged in.
std::string LabelOf(const TempDir& directory) {
  std::string error;
  auto board = sim::BoardDirectory::Open(directory.Path().string(), error);
  return board ? board->Serial() + " (port " + board->Port() + ")" : error;
}

bool Holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(ConsoleProgram, BoardChoiceAndEveryBoardOnTheBenchAndTheRealStack) {
  TempDir files, first, second;
  const std::vector<std::uint8_t> image = PatternBytes(512);
  const std::string good = files.File("firmware.hex");
  WriteFile(good, ImageText(image));
  const std::string bench = first.Path().string() + ":" + second.Path().string();
  const std::string firstLabel = LabelOf(first), secondLabel = LabelOf(second);
  const std::string secondSerial = secondLabel.substr(0, secondLabel.find(' '));
  struct Case {
    std::string arguments;
    std::string boards;
    DWORD status;
    std::vector<std::string> output;
    bool firstHolds, secondHolds;  // the image afterwards
  };
  const Case cases[] = {
      {"--device " + secondSerial + " " + good, bench, 0,
       {"Firmware update successful.", secondLabel + ": succeeded"}, false, true},
      {"--all " + good, bench, 0, {firstLabel + ": succeeded", secondLabel + ": succeeded", "2 of 2 boards succeeded"},
       true, true},
      {"--udev-rule", "", 2, {"--udev-rule is for Linux"}, false, false},
      {"-s " + good, "", 3, {"Could not find installed device."}, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    DeleteSettingsKey();
    ProgramRun run = RunProgram("tessora-cli.exe", c.arguments, c.boards);
    EXPECT_EQ(run.exitStatus, c.status) << run.output;
    for (const std::string& line : c.output) EXPECT_TRUE(Holds(run.output, line)) << run.output;
    if (c.boards.empty()) continue;
    EXPECT_EQ(EepromHolds(first, image), c.firstHolds);
    EXPECT_EQ(EepromHolds(second, image), c.secondHolds);
  }
}

}  // namespace
}  // namespace tessora::test

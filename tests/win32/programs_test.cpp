// The shipped programs started as a factory line starts them, silently with a file to
// update ("-s FILE"), and tessora.exe started by a user on a machine without the device.
#include <gtest/gtest.h>

#include "resources/resource.h"
#include "tests/win32/debuggee.h"
#include "tests/win32/program_state.h"
#include "tests/win32/window_finder.h"

namespace tessora::testing {
namespace {

TEST(SilentUpdate, ExitStatusDebugLinesAndEepromForEachOutcome) {
  TempDir files;
  const std::vector<std::uint8_t> image = PatternBytes(512);
  const std::string good = files.File("firmware.hex");
  const std::string missing = files.File("missing.hex");
  WriteFile(good, ImageText(image));
  const std::string start = "Tessora - silent mode";
  const std::string page = "Firmware update in progress...\npagesize ";
  struct Case {
    const char* program;
    const char* boardConf;  // null: the real device stack
    std::string file;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"tessora-sim.exe", "", good,
       {start, page + "64", "Firmware update successful.\nPlease re-plug the device.", "Exit code: 1"}},
      {"tessora-sim.exe", "interfaces = none\n", good, {start, "Could not find installed device.", "Exit code: -1"}},
      {"tessora.exe", nullptr, good, {start, "Could not find installed device.", "Exit code: -1"}},
      {"tessora-sim.exe", "eeprom_address = 0x50\n", good, {start, "Could not find EEPROM.", "Exit code: -2"}},
      {"tessora-sim.exe", "", missing, {start, "Could not read Firmware Image.\n" + missing, "Exit code: -3"}},
      {"tessora-sim.exe", "write_limit = 4\n", good,
       {start, page + "64", page + "32", page + "16", page + "8", "Could not program Firmware Image.",
        "Exit code: -5"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.program) + " " + c.lines.back());
    DeleteSettingsKey();
    TempDir board;
    if (c.boardConf != nullptr) WriteFile(board.File("board.conf"), c.boardConf);
    ProgramRun run = RunProgram(c.program, "-s " + c.file, c.boardConf == nullptr ? "" : board.Path().string());

    ASSERT_TRUE(run.exited);
    const bool success = c.lines.back() == "Exit code: 1";
    EXPECT_EQ(run.exitStatus, success ? 0u : 1u);
    EXPECT_EQ(run.debugLines, c.lines);
    if (c.boardConf != nullptr) {
      EXPECT_EQ(EepromHolds(board, image), success);
    }
  }
}

TEST(RealDeviceStack, EveryProcedureReportsTheMissingDevice) {
  DeleteSettingsKey();
  const int commands[] = {IDM_UPDATE_FIRMWARE, IDM_READ_OUT_FIRMWARE, IDM_CLEAR_EEPROM, IDM_FORCE_ROM_BOOT,
                          IDM_BOOT_FROM_EEPROM};
  std::vector<std::string> boxes;
  ProgramRun run = RunProgram("tessora.exe", "", "", [&](DWORD process) {
    HWND main = WaitForWindow(process, "TESSORA", "Velmora Tessora 1.2.1");
    if (main == nullptr) return;
    for (int command : commands) {
      PostMessageA(main, WM_COMMAND, command, 0);
      // Before any file dialog; the box has the system's default caption.
      boxes.push_back(AnswerMessageBox(process, nullptr));
    }
    PostMessageA(main, WM_COMMAND, IDM_EXIT, 0);
  });

  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitStatus, 0u);
  EXPECT_EQ(boxes, std::vector<std::string>(std::size(commands), "Could not find installed device."));
  EXPECT_EQ(run.debugLines, std::vector<std::string>{"Tessora - normal mode"});
}

}  // namespace
}  // namespace tessora::testing

// tessora.exe on the real device stack of a machine with no Qorvane device: every
// procedure stops at once with message 115, before any file dialog.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "resources/resource.h"
#include "tests/win32/debuggee.h"
#include "tests/win32/program_paths.h"
#include "tests/win32/settings_key.h"
#include "tests/win32/window_finder.h"

namespace tessora::testing {
namespace {

TEST(RealDeviceStack, EveryProcedureReportsTheMissingDevice) {
  DeleteSettingsKey();
  const int commands[] = {IDM_UPDATE_FIRMWARE, IDM_READ_OUT_FIRMWARE, IDM_CLEAR_EEPROM, IDM_FORCE_ROM_BOOT,
                          IDM_BOOT_FROM_EEPROM};
  std::vector<std::string> boxes;
  bool fileDialogSeen = false;

  ProgramRun run = RunProgram(ShippedProgram("tessora.exe"), "", "", [&](DWORD process) {
    HWND main = WaitForWindow(process, "TESSORA", "Velmora Tessora 1.2.1");
    if (main == nullptr) return;
    for (int command : commands) {
      PostMessageA(main, WM_COMMAND, command, 0);
      // The box has the system's default caption.
      HWND box = WaitForWindow(process, "#32770", nullptr);
      if (box == nullptr) break;
      fileDialogSeen = fileDialogSeen || WindowText(box) == "Open";
      boxes.push_back(MessageBoxText(box));
      PressButton(box, IDOK);
      WaitUntilGone(box);
    }
    PostMessageA(main, WM_COMMAND, IDM_EXIT, 0);
  });

  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitStatus, 0u);
  EXPECT_FALSE(fileDialogSeen);
  EXPECT_THAT(boxes, ::testing::Each(std::string("Could not find installed device.")));
  EXPECT_EQ(boxes.size(), std::size(commands));
  EXPECT_THAT(run.debugLines, ::testing::ElementsAre("Tessora - normal mode"));
  std::string line = "Could not find installed device.\r\n";  // text-mode output
  EXPECT_EQ(run.standardOutput, line + line + line + line + line);
}

}  // namespace
}  // namespace tessora::testing

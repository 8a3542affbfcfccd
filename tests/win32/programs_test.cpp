// The shipped programs started as a factory line starts them, silently with a file to
// update ("-s FILE"), and tessora.exe started by a user on a machine without the device.
#include <gtest/gtest.h>

#include "resources/resource.h"
#include "tests/win32/debuggee.h"
#include "tests/win32/program_state.h"
#include "tests/win32/window_capture.h"
#include "tests/win32/window_finder.h"

namespace tessora::test {
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
      // Before any file dialog; a box without a caption of its own gets the system's.
      boxes.push_back(AnswerMessageBox(process, "Error"));
    }
    PostMessageA(main, WM_COMMAND, IDM_EXIT, 0);
  });

  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitStatus, 0u);
  EXPECT_EQ(boxes, std::vector<std::string>(std::size(commands), "Could not find installed device."));
  EXPECT_EQ(run.debugLines, std::vector<std::string>{"Tessora - normal mode"});
}

// The screen resolution a Wine program reads when it starts.
struct ScreenDpi {
  explicit ScreenDpi(DWORD dpi) { RegSetKeyValueA(HKEY_CURRENT_USER, kDesktop, "LogPixels", REG_DWORD, &dpi, sizeof dpi); }
  ~ScreenDpi() { RegDeleteKeyValueA(HKEY_CURRENT_USER, kDesktop, "LogPixels"); }
  static constexpr char kDesktop[] = "Control Panel\\Desktop";
};

// At every scaling the status text and the progress bar stay inside the window: a failed
// update leaves its bar standing under the failure message, so both can be seen at once.
TEST(HighDpi, StatusTextAndProgressBarFitTheWindow) {
  TempDir files;
  const std::string image = files.File("firmware.hex");
  WriteFile(image, ImageText(PatternBytes(512)));
  for (DWORD dpi : {96u, 192u}) {
    SCOPED_TRACE(dpi);
    DeleteSettingsKey();
    ScreenDpi screen(dpi);
    TempDir board;
    WriteFile(board.File("board.conf"), "write_limit = 4\n");
    Picture picture;
    RECT client{}, bar{};
    std::string box;
    RunProgram("tessora-sim.exe", image, board.Path().string(), [&](DWORD process) {
      HWND main = WaitForWindow(process, "TESSORA", "Velmora Tessora 1.2.1");
      HWND failure = WaitForWindow(process, "#32770", "Error");
      if (main == nullptr || failure == nullptr) return;
      // The box must not cover the window in the picture.
      RECT frame{};
      GetWindowRect(main, &frame);
      SetWindowPos(failure, nullptr, frame.right + 10, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      HWND progress = FindWindowExA(main, nullptr, "msctls_progress32", nullptr);
      if (progress != nullptr && CaptureWindow(main, picture)) {
        GetClientRect(main, &client);
        MapWindowPoints(main, nullptr, reinterpret_cast<POINT*>(&client), 2);
        OffsetRect(&client, -frame.left, -frame.top);
        bar = RectInWindow(main, progress);
      }
      box = AnswerMessageBox(process, "Error");
    });
    EXPECT_EQ(box, "Could not program Firmware Image.");
    ASSERT_GT(picture.width, 0) << "no picture of the window with its progress bar";
    // The bar lies along the client area's bottom edge, as tall at least as the scroll bar
    // of that resolution, and the status text stands above it.
    EXPECT_EQ(bar.bottom, client.bottom);
    EXPECT_GE(bar.bottom - bar.top, MulDiv(16, static_cast<int>(dpi), 96) - 1);
    const RECT textArea{client.left, client.top, client.right, bar.top};
    EXPECT_GE(textArea.bottom - textArea.top, MulDiv(32, static_cast<int>(dpi), 96));
    EXPECT_GT(picture.CountColour(textArea, COLOR_WINDOWTEXT), 0);
  }
}

}  // namespace
}  // namespace tessora::test

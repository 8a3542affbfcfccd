// The main window made in this process as the program makes it, on a simulated board, and
// driven as a user drives it: its thread is the test's, which sits in the window's modal
// loops while another thread answers the dialogs.
#include <shlobj.h>

#include <cstring>
#include <utility>

#include <gtest/gtest.h>

#include "app/program_devices.h"
#include "app/win32/win32_program.h"
#include "resources/resource.h"
#include "tests/win32/program_state.h"
#include "tests/win32/window_capture.h"
#include "tests/win32/window_finder.h"

namespace tessora::test {
namespace {

constexpr char kSuccess[] = "Firmware update successful.\nPlease re-plug the device.";

// The program's UI, taking the picture of a running update at its fourth progress step:
// the only moment one can be had, as the procedure holds the window's thread.
class CapturingUi : public Win32Ui {
 public:
  void ProgressStep() override {
    Win32Ui::ProgressStep();
    if (++steps != 4) return;
    HWND progress = FindWindowExA(MainWindow(), nullptr, "msctls_progress32", nullptr);
    if (progress != nullptr && CaptureWindow(MainWindow(), picture))
      bar = RectInWindow(MainWindow(), progress);
  }
  // Highlighted pixels in the bar's left and right quarters.
  std::pair<int, int> BarFill() const {
    const LONG quarter = (bar.right - bar.left) / 4;
    return {picture.CountColour({bar.left, bar.top, bar.left + quarter, bar.bottom}, COLOR_HIGHLIGHT),
            picture.CountColour({bar.right - quarter, bar.top, bar.right, bar.bottom}, COLOR_HIGHLIGHT)};
  }
  int steps = 0;
  Picture picture;
  RECT bar{};
};

// A drop of one file as the shell hands it over; the window frees it.
HDROP DropOf(const std::string& file) {
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + file.size() + 2);
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  if (drop == nullptr) return nullptr;
  drop->pFiles = sizeof(DROPFILES);
  std::memcpy(drop + 1, file.data(), file.size());  // GHND zeroed the two terminating nuls
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

// Alt+"?" typed on a US keyboard, where "?" is Shift and the "/" key: down in order, up in
// reverse.
void TypeAltQuestionMark() {
  const WORD keys[] = {VK_MENU, VK_SHIFT, VK_OEM_2};
  INPUT inputs[6] = {};
  for (int i = 0; i < 3; ++i) {
    inputs[i].type = inputs[5 - i].type = INPUT_KEYBOARD;
    inputs[i].ki.wVk = inputs[5 - i].ki.wVk = keys[i];
    inputs[5 - i].ki.dwFlags = KEYEVENTF_KEYUP;
  }
  SendInput(6, inputs, sizeof(INPUT));
}

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteSettingsKey();
    const std::string directory = board.Path().string();
    ASSERT_TRUE(BuildProgram(program, GetModuleHandleA(nullptr),
                             [&](Settings& settings, OsServices& os, std::string& error) -> std::unique_ptr<DeviceAccess> {
                               return SimulatedDeviceAccess::Open(directory, settings, os, error);
                             }));
    program.shell = std::make_unique<ShellContext>(program.settings, program.devices->Engine(), ui, *program.os,
                                                   *program.store, NextAnsiChar);
    program.devices->AttachShell(*program.shell);
    window = CreateMainWindow(program, RegisterMainWindowClass(program.instance), SW_SHOWNORMAL);
    ASSERT_NE(window, nullptr);
    ui.SetMainWindow(window);
  }

  void TearDown() override {
    if (IsWindow(window)) DestroyWindow(window);
    // The destroyed window's quit message must not end the next test's modal loops.
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  std::string StatusText() const { return program.shell->statusText.data(); }
  std::string Image(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    WriteFile(files.File(name), ImageText(bytes));
    return files.File(name);
  }

  TempDir board;
  TempDir files;
  CapturingUi ui;
  Win32Program program;
  HWND window = nullptr;
};

TEST_F(MainWindow, UpdatesTheFileChosenFromTheMenuAndADroppedOne) {
  EXPECT_EQ(StatusText(), "Firmware updater for Qorvane.\nDevice interface selected: FilterDriver");
  const std::vector<std::uint8_t> chosen = PatternBytes(512), dropped = PatternBytes(512, 99);
  const std::string chosenFile = Image("chosen.hex", chosen), droppedFile = Image("dropped.hex", dropped);
  std::string box;
  WhileAnswering(
      [&] {
        HWND open = WaitForDialog("Open");
        ASSERT_NE(open, nullptr);
        AnswerFileDialog(open, chosenFile);
        box = AnswerMessageBox(GetCurrentProcessId(), "OK");
      },
      [&] { SendMessageA(window, WM_COMMAND, IDM_UPDATE_FIRMWARE, 0); });
  EXPECT_EQ(box, kSuccess);
  // Four of the eight pages done: the bar is filled on its left, not on its right.
  auto [left, right] = ui.BarFill();
  EXPECT_GT(left, 0);
  EXPECT_EQ(right, 0);
  EXPECT_TRUE(EepromHolds(board, chosen));

  box.clear();
  WhileAnswering([&] { box = AnswerMessageBox(GetCurrentProcessId(), "OK"); },
                 [&] { SendMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf(droppedFile)), 0); });
  EXPECT_EQ(box, kSuccess);
  EXPECT_TRUE(EepromHolds(board, dropped));
}

TEST_F(MainWindow, OptionsSwitchTheInterfaceAndStoreIt) {
  WhileAnswering(
      [] {
        HWND options = WaitForDialog("Options");
        ASSERT_NE(options, nullptr);
        SendDlgItemMessageA(options, IDC_IFACE_HID, BM_CLICK, 0, 0);
        PressButton(options, IDOK);
        WaitUntilGone(options);
      },
      [&] { SendMessageA(window, WM_COMMAND, IDM_OPTIONS, 0); });
  EXPECT_EQ(ReadSettingByte("device_iface"), 1);
  EXPECT_EQ(StatusText(), "Firmware updater for Qorvane.\nDevice interface selected: HID");
}

TEST_F(MainWindow, AltQuestionMarkOpensTheAboutBox) {
  bool opened = false;
  SetForegroundWindow(window);  // the keys go to the foreground window
  WhileAnswering(
      [&] {
        TypeAltQuestionMark();
        HWND about = WaitForDialog("About");
        opened = about != nullptr;
        PressButton(about, IDOK);
        WaitUntilGone(about);
        // Ends the message loop whatever happened above.
        PostMessageA(window, WM_COMMAND, IDM_EXIT, 0);
      },
      [] { RunMessageLoop(LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_TESSORA))); });
  EXPECT_TRUE(opened);
}

}  // namespace
}  // namespace tessora::test

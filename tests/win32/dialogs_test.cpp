// The Options dialog and the About box, opened as the user opens them.
#include <gtest/gtest.h>

#include "resources/resource.h"
#include "tests/win32/program_window.h"
#include "tests/win32/settings_key.h"
#include "tests/win32/window_capture.h"
#include "tests/win32/window_finder.h"

namespace tessora::testing {
namespace {

bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
bool ReadOnly(HWND dialog, int id) { return (GetWindowLongA(GetDlgItem(dialog, id), GWL_STYLE) & ES_READONLY) != 0; }
bool Shown(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE; }
std::string BoxText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }
void Click(HWND dialog, int id) { SendDlgItemMessageA(dialog, id, BM_CLICK, 0, 0); }

// Real keystrokes for the focused window: the keys go down in order and up in reverse.
void PressKeys(std::initializer_list<WORD> keys) {
  std::vector<INPUT> inputs;
  for (WORD key : keys) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    inputs.push_back(input);
  }
  for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = *key;
    input.ki.dwFlags = KEYEVENTF_KEYUP;
    inputs.push_back(input);
  }
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

class Dialogs : public ::testing::Test {
 protected:
  void SetUp() override { DeleteSettingsKey(); }
  BoardFolder board;
};

TEST_F(Dialogs, OptionsShowTheSettingsAndOkSavesTheChangedOnes) {
  ProgramWindow program(board);
  ASSERT_TRUE(program.Started());
  struct Seen {
    std::string address, size;
    bool twoByte = false, autoSize = false, filterDriver = false, sizeReadOnly = false, hidFunctionShown = true;
    bool editableWithManual = false, readOnlyWithAuto = false;
    std::string tooLarge, sizeAfterTooLarge;
    bool keptOpen = false, closed = false;
  } seen;
  {
    DialogScript script([&] {
      HWND options = WaitForDialog("Options");
      ASSERT_NE(options, nullptr);
      seen.address = BoxText(options, IDC_EEPROM_ADDRESS);
      seen.size = BoxText(options, IDC_READ_SIZE);
      seen.twoByte = Checked(options, IDC_SUB_2BYTE) && !Checked(options, IDC_SUB_1BYTE);
      seen.autoSize = Checked(options, IDC_SIZE_AUTO);
      seen.filterDriver = Checked(options, IDC_IFACE_FILTERDRIVER) && !Checked(options, IDC_IFACE_HID);
      seen.sizeReadOnly = ReadOnly(options, IDC_READ_SIZE);
      seen.hidFunctionShown = Shown(options, IDC_HID_FUNCTION_LABEL) || Shown(options, IDC_HID_FEATURE) ||
                              Shown(options, IDC_HID_RW);
      CaptureWindow(options, "options-dialog");

      Click(options, IDC_SIZE_MANUAL);
      seen.editableWithManual = !ReadOnly(options, IDC_READ_SIZE) && !Checked(options, IDC_SIZE_AUTO);
      Click(options, IDC_SIZE_AUTO);
      seen.readOnlyWithAuto = ReadOnly(options, IDC_READ_SIZE);
      Click(options, IDC_SIZE_MANUAL);
      Click(options, IDC_IFACE_HID);
      Click(options, IDC_SUB_1BYTE);
      SetDlgItemTextA(options, IDC_EEPROM_ADDRESS, "151");
      SetDlgItemTextA(options, IDC_READ_SIZE, "20000");

      PressButton(options, IDOK);
      HWND box = WaitForDialog("Error");
      ASSERT_NE(box, nullptr);
      seen.tooLarge = MessageBoxText(box);
      PressButton(box, IDOK);
      WaitUntilGone(box);
      seen.keptOpen = IsWindow(options) != FALSE;
      seen.sizeAfterTooLarge = BoxText(options, IDC_READ_SIZE);
      PressButton(options, IDOK);
      seen.closed = WaitUntilGone(options);
    });
    program.Command(IDM_OPTIONS);
  }

  EXPECT_EQ(seen.address, "51");
  EXPECT_EQ(seen.size, "256");
  EXPECT_TRUE(seen.twoByte);
  EXPECT_TRUE(seen.autoSize);
  EXPECT_TRUE(seen.filterDriver);
  EXPECT_TRUE(seen.sizeReadOnly);
  EXPECT_FALSE(seen.hidFunctionShown);
  EXPECT_TRUE(seen.editableWithManual);
  EXPECT_TRUE(seen.readOnlyWithAuto);
  EXPECT_EQ(seen.tooLarge, "Maximum 16384 Byte EEProm supported");
  EXPECT_TRUE(seen.keptOpen);
  EXPECT_EQ(seen.sizeAfterTooLarge, "16384");
  EXPECT_TRUE(seen.closed);

  EXPECT_EQ(program.StatusText(), "Firmware updater for Qorvane.\nDevice interface selected: HID");
  EXPECT_EQ(ReadSettingByte("EEPROM_ADR"), 0x15);  // two characters are read
  EXPECT_EQ(ReadSettingByte("readsize_hi"), 0x40);
  EXPECT_EQ(ReadSettingByte("readsize_lo"), 0x00);
  EXPECT_EQ(ReadSettingByte("addressing"), 1);
  EXPECT_EQ(ReadSettingByte("readsize_auto"), 0);
  EXPECT_EQ(ReadSettingByte("device_iface"), 1);
  EXPECT_EQ(ReadSettingByte("winusb_option"), 0);
}

TEST_F(Dialogs, CancelKeepsTheStoredSettings) {
  ProgramWindow program(board);
  ASSERT_TRUE(program.Started());
  {
    DialogScript script([] {
      HWND options = WaitForDialog("Options");
      ASSERT_NE(options, nullptr);
      Click(options, IDC_IFACE_WINUSB);
      PressButton(options, IDCANCEL);
    });
    program.Command(IDM_OPTIONS);
  }
  EXPECT_EQ(ReadSettingByte("winusb_option"), 0);
  EXPECT_EQ(program.StatusText(), "Firmware updater for Qorvane.\nDevice interface selected: FilterDriver");
}

TEST_F(Dialogs, AltQuestionMarkAndAltSlashOpenTheAboutBox) {
  ProgramWindow program(board);
  ASSERT_TRUE(program.Started());
  HWND window = program.Window();
  std::vector<std::string> versions;
  {
    DialogScript script([&] {
      for (char key : {'?', '/'}) {
        // On a US keyboard "?" is Shift and the "/" key.
        if (key == '?') PressKeys({VK_MENU, VK_SHIFT, VK_OEM_2});
        else PressKeys({VK_MENU, VK_OEM_2});
        HWND about = WaitForDialog("About");
        if (about == nullptr) break;
        HWND version = FindWindowExA(about, nullptr, "Static", "Tessora Version 1.2.1");
        versions.push_back(WindowText(version));
        if (key == '?') {
          EXPECT_TRUE(CaptureWindow(about, "about-box"));
        }
        PressButton(about, key == '?' ? IDOK : IDCANCEL);
        if (!WaitUntilGone(about)) break;
      }
      // Ends the loop below whatever happened above.
      PostMessageA(window, WM_COMMAND, IDM_EXIT, 0);
    });
    SetForegroundWindow(window);
    RunMessageLoop(LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_TESSORA)));
  }
  EXPECT_EQ(versions, (std::vector<std::string>{"Tessora Version 1.2.1", "Tessora Version 1.2.1"}));
  EXPECT_FALSE(IsWindow(window));
}

}  // namespace
}  // namespace tessora::testing

// The main window driven as a user drives it: menu commands with their file dialogs and
// message boxes answered, a dropped file, the reboot commands and the teardown.
#include <shlobj.h>

#include <filesystem>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "resources/resource.h"
#include "tests/win32/capturing_ui.h"
#include "tests/win32/program_window.h"
#include "tests/win32/settings_key.h"
#include "tests/win32/window_capture.h"
#include "tests/win32/window_finder.h"

namespace tessora::testing {
namespace {

constexpr char kSuccess[] = "Firmware update successful.\nPlease re-plug the device.";

struct Box {
  std::string caption;
  std::string text;
  BoxIcon icon = BoxIcon::Other;
  bool owned = true;
};

// Reads the box of this caption and presses its OK; false when none appeared.
bool AnswerBox(const char* caption, Box& box) {
  HWND window = WaitForDialog(caption);
  if (window == nullptr) return false;
  box.caption = WindowText(window);
  box.text = MessageBoxText(window);
  box.icon = MessageBoxIcon(window);
  box.owned = GetWindow(window, GW_OWNER) != nullptr;
  PressButton(window, IDOK);
  return WaitUntilGone(window);
}

HDROP MakeDrop(const std::vector<std::string>& files) {
  std::string list;
  for (const std::string& file : files) list += file + '\0';
  list += '\0';
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size());
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = FALSE;
  std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), list.data(), list.size());
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override { DeleteSettingsKey(); }

  BoardFolder board;
  std::vector<std::uint8_t> image = PatternBytes(512);
};

TEST_F(MainWindow, StartsAs280By100WindowNamingTheChipAndInterface) {
  ProgramWindow program(board);
  ASSERT_TRUE(program.Started());
  HWND window = program.Window();

  EXPECT_EQ(program.StatusText(), "Firmware updater for Qorvane.\nDevice interface selected: FilterDriver");
  EXPECT_EQ(WindowText(window), "Velmora Tessora 1.2.1");
  RECT frame;
  GetWindowRect(window, &frame);
  EXPECT_EQ(frame.right - frame.left, 280);
  EXPECT_EQ(frame.bottom - frame.top, 100);
  EXPECT_EQ(GetClassLongA(window, GCL_STYLE), static_cast<DWORD>(CS_HREDRAW | CS_VREDRAW));
  EXPECT_EQ(GetClassLongPtrA(window, GCLP_HBRBACKGROUND), COLOR_WINDOW + 1);
  EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);
  EXPECT_NE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);
  EXPECT_TRUE(CaptureWindow(window, "main-window-start"));

  // The defaults were stored on this first start.
  EXPECT_EQ(ReadSettingByte("EEPROM_ADR"), 0x51);
  EXPECT_EQ(ReadSettingByte("readsize_hi"), 0x01);
  EXPECT_EQ(ReadSettingByte("winusb_option"), 0x00);
}

TEST_F(MainWindow, MenuCarriesEveryCommand) {
  ProgramWindow program(board);
  ASSERT_TRUE(program.Started());
  HMENU bar = GetMenu(program.Window());
  ASSERT_NE(bar, nullptr);
  auto items = [](HMENU menu) {
    std::vector<std::pair<std::string, int>> found;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
      char text[64] = {};
      GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
      found.emplace_back(text, static_cast<int>(GetMenuItemID(menu, i)));
    }
    return found;
  };
  using Items = std::vector<std::pair<std::string, int>>;
  ASSERT_EQ(GetMenuItemCount(bar), 4);
  EXPECT_EQ(items(GetSubMenu(bar, 0)), (Items{{"&Update Firmware ...", 32771},
                                              {"&Read out Firmware ...", 32775},
                                              {"&Clear EEProm ...", 32777},
                                              {"E&xit", 105}}));
  EXPECT_EQ(items(GetSubMenu(bar, 1)), (Items{{"force &ROM boot", 32773}, {"from &EEPROM", 32774}}));
  EXPECT_EQ(items(GetSubMenu(bar, 2)), (Items{{"&Options ...", 32776}}));
  EXPECT_EQ(items(GetSubMenu(bar, 3)), (Items{{"&About ...", 104}}));
}

TEST_F(MainWindow, UpdateFromTheMenuAsksForTheFileShowsProgressAndReportsSuccess) {
  std::string file = board.Image("firmware.hex", image);
  CapturingUi capture(4, "main-window-update");
  ProgramWindow program(board, &capture);
  ASSERT_TRUE(program.Started());
  Box box;
  {
    DialogScript script([&] {
      HWND open = WaitForDialog("Open");
      ASSERT_NE(open, nullptr);
      AnswerFileDialog(open, file);
      EXPECT_TRUE(AnswerBox("OK", box));
    });
    program.Command(IDM_UPDATE_FIRMWARE);
  }

  EXPECT_EQ(box.text, kSuccess);
  EXPECT_EQ(box.icon, BoxIcon::Information);
  EXPECT_FALSE(box.owned);
  EXPECT_EQ(program.StatusText(), kSuccess);
  EXPECT_EQ(program.Shell().exitCode, 1);
  EXPECT_STREQ(program.Shell().filePath.data(), file.c_str());

  // Halfway through: the bar along the bottom edge, as high as a scroll-bar arrow.
  EXPECT_TRUE(capture.captured);
  EXPECT_EQ(capture.positionAtStep, 4);
  RECT client;
  GetClientRect(program.Window(), &client);
  EXPECT_EQ(capture.barAtStep.left, 0);
  EXPECT_EQ(capture.barAtStep.right, client.right);
  EXPECT_EQ(capture.barAtStep.bottom, client.bottom);
  EXPECT_EQ(capture.barAtStep.bottom - capture.barAtStep.top, GetSystemMetrics(SM_CYVSCROLL));
  EXPECT_EQ(FindWindowExA(program.Window(), nullptr, "msctls_progress32", nullptr), nullptr);

  ASSERT_TRUE(program.SaveBoard());
  std::vector<std::uint8_t> eeprom = board.Eeprom();
  EXPECT_TRUE(std::equal(image.begin(), image.end(), eeprom.begin()));
}

TEST_F(MainWindow, ReadOutSavesUnderTheDefaultExtensionAndCancelledDialogsLeaveTheirText) {
  ASSERT_TRUE(WriteSettingByte("readsize_auto", 0));  // 256 bytes, not the header's size
  ProgramWindow program(board);
  ASSERT_TRUE(program.Started());
  std::string filterShown;
  int filterSelected = -1;
  Box box;
  {
    DialogScript script([&] {
      HWND save = WaitForDialog("Save As");
      ASSERT_NE(save, nullptr);
      HWND types = GetDlgItem(save, 1136);
      filterSelected = static_cast<int>(SendMessageA(types, CB_GETCURSEL, 0, 0));
      for (int i = 0; i < SendMessageA(types, CB_GETCOUNT, 0, 0); ++i) {
        char text[64] = {};
        if (SendMessageA(types, CB_GETLBTEXTLEN, i, 0) < static_cast<LRESULT>(sizeof text))
          SendMessageA(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        filterShown += std::string(text) + ";";
      }
      AnswerFileDialog(save, board.File("readout"));
      EXPECT_TRUE(AnswerBox("OK", box));
    });
    program.Command(IDM_READ_OUT_FIRMWARE);
  }
  EXPECT_EQ(filterShown, "All (*.*);Firmware Image (*.hex);");
  EXPECT_EQ(filterSelected, 1);
  EXPECT_EQ(box.text, "Firmware download successful.");
  EXPECT_EQ(box.icon, BoxIcon::Information);
  EXPECT_TRUE(std::filesystem::exists(board.File("readout.hex")));
  EXPECT_EQ(board.TraceCount("bus-read dev=51"), 1 + 256 / 16);

  for (auto [command, caption, text] : {std::tuple{IDM_UPDATE_FIRMWARE, "Open", "Please select a valid Firmware Image."},
                                        std::tuple{IDM_READ_OUT_FIRMWARE, "Save As", "Please select a valid filename."}}) {
    DialogScript script([caption = caption] {
      HWND dialog = WaitForDialog(caption);
      ASSERT_NE(dialog, nullptr);
      PressButton(dialog, IDCANCEL);
    });
    program.Command(command);
    script.Finish();
    EXPECT_EQ(program.StatusText(), text);
  }
}

TEST_F(MainWindow, ADroppedFileIsUpdatedAndOnlyTheFirst) {
  std::string first = board.Image("first.hex", image);
  std::string second = board.Image("second.hex", PatternBytes(512, 99));
  ProgramWindow program(board);
  ASSERT_TRUE(program.Started());
  Box box;
  {
    DialogScript script([&] { EXPECT_TRUE(AnswerBox("OK", box)); });
    SendMessageA(program.Window(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({first, second, second})), 0);
  }
  EXPECT_EQ(box.text, kSuccess);
  EXPECT_STREQ(program.Shell().filePath.data(), first.c_str());
  EXPECT_EQ(board.TraceCount("bus-write dev=51"), 512 / 64 + 1);
  ASSERT_TRUE(program.SaveBoard());
  std::vector<std::uint8_t> eeprom = board.Eeprom();
  EXPECT_TRUE(std::equal(image.begin(), image.end(), eeprom.begin()));
}

TEST_F(MainWindow, RebootsQuietlyAndClosesTheHidDeviceWhenDestroyed) {
  ASSERT_TRUE(WriteSettingByte("device_iface", 1));
  ProgramWindow program(board);
  ASSERT_TRUE(program.Started());
  const std::string startText = program.StatusText();
  {
    DialogScript unexpectedBoxes([] {});
    program.Command(IDM_FORCE_ROM_BOOT);
    program.Command(IDM_BOOT_FROM_EEPROM);
  }
  EXPECT_EQ(startText, "Firmware updater for Qorvane.\nDevice interface selected: HID");
  EXPECT_EQ(program.StatusText(), startText);
  EXPECT_THAT(board.Trace(), ::testing::Contains("hid reboot mode=rom"));
  EXPECT_THAT(board.Trace(), ::testing::Contains("hid reboot mode=eeprom"));

  ASSERT_NE(program.Program().devices->Engine().hidDevice, nullptr);
  DestroyWindow(program.Window());
  EXPECT_EQ(program.Program().devices->Engine().hidDevice, nullptr);
}

}  // namespace
}  // namespace tessora::testing

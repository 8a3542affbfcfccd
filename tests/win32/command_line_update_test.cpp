// tessora-sim.exe and tessora.exe started with a file to update, silently ("-s FILE", as a
// factory line starts them) or with the window shown: the exit status, the debug output and
// what the board saw.
#include <algorithm>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/win32/board_folder.h"
#include "tests/win32/debuggee.h"
#include "tests/win32/program_paths.h"
#include "tests/win32/settings_key.h"
#include "tests/win32/window_finder.h"

namespace tessora::testing {
namespace {

using ::testing::ElementsAre;

class CommandLineUpdate : public ::testing::Test {
 protected:
  void SetUp() override { DeleteSettingsKey(); }

  ProgramRun RunSim(const std::string& arguments) {
    return RunProgram(ShippedProgram("tessora-sim.exe"), arguments, board.Path());
  }

  BoardFolder board;
  std::vector<std::uint8_t> image = PatternBytes(512);
};

TEST_F(CommandLineUpdate, WritesAndVerifiesTheImageAndExitsWithZero) {
  std::string file = board.Image("firmware.hex", image);
  ProgramRun run = RunSim("-s " + file);

  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitStatus, 0u);
  EXPECT_THAT(run.debugLines, ElementsAre("Tessora - silent mode", "Firmware update in progress...\npagesize 64",
                                          "Firmware update successful.\nPlease re-plug the device.", "Exit code: 1"));
  std::vector<std::uint8_t> eeprom = board.Eeprom();
  ASSERT_EQ(eeprom.size(), 16384u);
  EXPECT_TRUE(std::equal(image.begin(), image.end(), eeprom.begin()));
  EXPECT_EQ(eeprom[512], 0xFF);
  // The stored interface is used: FilterDriver by default, 512 / 64 pages written.
  EXPECT_EQ(board.TraceCount("filterdriver bus-write dev=51"), 512 / 64 + 1);
  EXPECT_EQ(board.TraceCount("hid "), 0);
  EXPECT_EQ(run.standardOutput,
            "Tessora - silent mode\r\nFirmware update in progress...\r\npagesize 64\r\n"
            "Firmware update successful.\r\nPlease re-plug the device.\r\n");
}

TEST_F(CommandLineUpdate, EachFailureHasItsExitCodeAndStatusOne) {
  struct Case {
    const char* boardConf;
    std::size_t eepromSize;
    std::size_t imageSize;
    bool oneByteSubaddressing;
    const char* message;
    const char* exitLine;
  };
  const Case cases[] = {
      {"interfaces = none\n", 16384, 512, false, "Could not find installed device.", "Exit code: -1"},
      {"eeprom_address = 0x50\n", 16384, 512, false, "Could not find EEPROM.", "Exit code: -2"},
      {"", 256, 300, true, "File to large for 1 Byte subaddressing", "Exit code: -4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.exitLine);
    BoardFolder failing;
    failing.Configure(c.boardConf);
    failing.SetEeprom(std::vector<std::uint8_t>(c.eepromSize, 0xFF));
    DeleteSettingsKey();
    if (c.oneByteSubaddressing) {
      ASSERT_TRUE(WriteSettingByte("addressing", 1));
    }
    std::string file = failing.Image("firmware.hex", PatternBytes(c.imageSize));

    ProgramRun run = RunProgram(ShippedProgram("tessora-sim.exe"), "-s " + file, failing.Path());

    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitStatus, 1u);
    ASSERT_GE(run.debugLines.size(), 3u);
    EXPECT_EQ(run.debugLines.front(), "Tessora - silent mode");
    EXPECT_EQ(run.debugLines[run.debugLines.size() - 2], c.message);
    EXPECT_EQ(run.debugLines.back(), c.exitLine);
    // Nothing was written.
    std::vector<std::uint8_t> eeprom = failing.Eeprom();
    EXPECT_EQ(std::count(eeprom.begin(), eeprom.end(), 0xFF), static_cast<long>(eeprom.size()));
  }
}

TEST_F(CommandLineUpdate, PageSizesHalveDownToEightBeforeGivingUp) {
  board.Configure("write_limit = 4\n");
  ProgramRun run = RunSim("-s " + board.Image("firmware.hex", image));

  EXPECT_EQ(run.exitStatus, 1u);
  EXPECT_THAT(run.debugLines,
              ElementsAre("Tessora - silent mode", "Firmware update in progress...\npagesize 64",
                          "Firmware update in progress...\npagesize 32", "Firmware update in progress...\npagesize 16",
                          "Firmware update in progress...\npagesize 8", "Could not program Firmware Image.",
                          "Exit code: -5"));
}

TEST_F(CommandLineUpdate, AnUnreadableImageNamesTheFile) {
  std::string missing = board.File("missing.hex");
  ProgramRun run = RunSim("-s " + missing);

  EXPECT_EQ(run.exitStatus, 1u);
  EXPECT_THAT(run.debugLines, ElementsAre("Tessora - silent mode", "Could not read Firmware Image.\n" + missing,
                                          "Exit code: -3"));
}

TEST_F(CommandLineUpdate, TheSwitchAloneDoesNothing) {
  ProgramRun run = RunSim("-s");

  EXPECT_EQ(run.exitStatus, 0u);
  EXPECT_THAT(run.debugLines, ElementsAre("Tessora - silent mode"));
  EXPECT_EQ(board.TraceCount(""), 0);
}

TEST_F(CommandLineUpdate, AFileAloneUpdatesWithTheWindowShownAndEnds) {
  std::string file = board.Image("firmware.hex", image);
  std::string boxText;
  bool windowShown = false;
  ProgramRun run = RunProgram(ShippedProgram("tessora-sim.exe"), file, board.Path(), [&](DWORD process) {
    HWND box = WaitForWindow(process, "#32770", "OK");
    if (box == nullptr) return;
    windowShown = WaitForWindow(process, "TESSORA", "Velmora Tessora 1.2.1", 0) != nullptr;
    boxText = MessageBoxText(box);
    PressButton(box, IDOK);
  });

  ASSERT_TRUE(run.exited);  // no message loop after the update
  EXPECT_EQ(run.exitStatus, 0u);
  EXPECT_TRUE(windowShown);
  EXPECT_EQ(boxText, "Firmware update successful.\nPlease re-plug the device.");
  EXPECT_THAT(run.debugLines, ElementsAre("Tessora - normal mode"));
  EXPECT_EQ(board.TraceCount("bus-write dev=51"), 512 / 64 + 1);
}

TEST(RealDeviceStack, SilentUpdateWithoutADeviceEndsWithMinusOne) {
  DeleteSettingsKey();
  BoardFolder files;
  ProgramRun run =
      RunProgram(ShippedProgram("tessora.exe"), "-s " + files.Image("firmware.hex", PatternBytes(64)), "");

  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitStatus, 1u);
  EXPECT_THAT(run.debugLines,
              ElementsAre("Tessora - silent mode", "Could not find installed device.", "Exit code: -1"));
}

}  // namespace
}  // namespace tessora::testing

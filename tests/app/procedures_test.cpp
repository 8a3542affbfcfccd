#include "app/procedures.h"
#include "engine/image_file.h"

#include <gtest/gtest.h>

#include "tests/support/shell_rig.h"

namespace tessora {
namespace {

using testing::Interface;
using testing::PatternBytes;
using testing::ShellRig;

const std::string kNoDevice = "[-] 50010 Could not find installed device.";

class Procedures : public ::testing::TestWithParam<Interface> {
 protected:
  static sim::BoardConfig WithWriteLimit(std::uint32_t limit) {
    sim::BoardConfig config;
    config.writeLimit = limit;
    return config;
  }
};

TEST_P(Procedures, NoDeviceIsReportedBeforeAnyFileIsAskedFor) {
  sim::BoardConfig config;
  config.hid = config.filterDriver = config.winUsb = false;
  ShellRig rig(GetParam(), config);
  EXPECT_EQ(UpdateFirmware(*rig.shell, nullptr), 0);
  EXPECT_EQ(rig.shell->exitCode, kUpdateNoDevice);
  EXPECT_EQ(ReadOutFirmware(*rig.shell, nullptr), 0);
  EXPECT_EQ(ClearEeprom(*rig.shell), 0);
  EXPECT_FALSE(RebootCommand(*rig.shell, 2));
  EXPECT_EQ(rig.ui.Boxes(), std::vector<std::string>(4, kNoDevice));
  EXPECT_EQ(rig.ui.Outputs(), std::vector<std::string>(4, "Could not find installed device."));
  EXPECT_TRUE(rig.ui.questions.empty());
}

TEST_P(Procedures, NoEepromAnswersTheProbe) {
  sim::BoardConfig config;
  config.eepromAddress = 0x50;
  ShellRig rig(GetParam(), config);
  EXPECT_EQ(UpdateFirmware(*rig.shell, rig.WriteImage(PatternBytes(64)).c_str()), 0);
  EXPECT_EQ(rig.shell->exitCode, kUpdateNoEeprom);
  EXPECT_EQ(rig.ui.Boxes(), (std::vector<std::string>{"[-] 50010 Could not find EEPROM."}));
}

TEST_P(Procedures, UpdateSucceedsAfterFallingBackToASmallerPage) {
  ShellRig rig(GetParam(), WithWriteLimit(32));
  std::vector<std::uint8_t> image = PatternBytes(300);
  EXPECT_EQ(UpdateFirmware(*rig.shell, rig.WriteImage(image).c_str()), 1);
  EXPECT_EQ(rig.shell->exitCode, kUpdateSucceeded);
  EXPECT_EQ(rig.shell->engine.pageSize, 0);
  EXPECT_EQ(rig.ui.Outputs(), (std::vector<std::string>{"Firmware update in progress...\npagesize 64",
                                                         "Firmware update in progress...\npagesize 32",
                                                         "Firmware update successful.\nPlease re-plug the device."}));
  EXPECT_EQ(rig.ui.Boxes(),
            (std::vector<std::string>{"[OK] 50040 Firmware update successful.\nPlease re-plug the device."}));
  EXPECT_TRUE(std::equal(image.begin(), image.end(), rig.Eeprom().begin()));
  EXPECT_EQ(rig.ui.steps, 8);  // pages 32 to 256; the first page, written last, takes no step
}

// A part with 16-byte pages wraps the larger page writes onto themselves, which only the
// read-back sees.
TEST_P(Procedures, UpdateFallsBackToTheEepromsOwnPageSize) {
  sim::BoardConfig config;
  config.pageSize = 16;
  ShellRig rig(GetParam(), config);
  std::vector<std::uint8_t> image = PatternBytes(300);
  EXPECT_EQ(UpdateFirmware(*rig.shell, rig.WriteImage(image).c_str()), 1);
  std::vector<std::string> outputs = rig.ui.Outputs();
  ASSERT_EQ(outputs.size(), 4u);
  EXPECT_EQ(outputs[2], "Firmware update in progress...\npagesize 16");
  EXPECT_TRUE(std::equal(image.begin(), image.end(), rig.Eeprom().begin()));
}

TEST_P(Procedures, UpdateFailsAtEveryPageSize) {
  ShellRig rig(GetParam(), WithWriteLimit(4));
  EXPECT_EQ(UpdateFirmware(*rig.shell, rig.WriteImage(PatternBytes(100)).c_str()), 0);
  EXPECT_EQ(rig.shell->exitCode, kUpdateProgrammingFailed);
  EXPECT_EQ(rig.shell->engine.pageSize, 4);
  std::vector<std::string> outputs = rig.ui.Outputs();
  ASSERT_EQ(outputs.size(), 5u);
  EXPECT_EQ(outputs[3], "Firmware update in progress...\npagesize 8");
  EXPECT_EQ(rig.ui.Boxes(), (std::vector<std::string>{"[-] 50010 Could not program Firmware Image."}));
}

TEST_P(Procedures, ClearSucceedsOrFailsAtEveryPageSize) {
  ShellRig rig(GetParam(), {}, 256);
  rig.settings.subaddressing = 1;
  rig.Eeprom() = PatternBytes(256);
  EXPECT_EQ(ClearEeprom(*rig.shell), 1);
  EXPECT_EQ(rig.Eeprom(), std::vector<std::uint8_t>(256, 0xFF));
  EXPECT_EQ(rig.ui.Boxes(), (std::vector<std::string>{"[OK] 50040 EEPROM clearing successful"}));
  if (GetParam() == Interface::Hid) {
    EXPECT_FALSE(rig.shell->engine.hidDevice->IsOpen());
  }

  // HID writes carry no status: only the read-back shows that nothing was written.
  ShellRig failing(GetParam(), WithWriteLimit(4));
  failing.Eeprom() = PatternBytes(16384);
  EXPECT_EQ(ClearEeprom(*failing.shell), 0);
  EXPECT_EQ(failing.ui.Outputs().size(), 5u);  // page sizes 64, 32, 16, 8, then the message
  EXPECT_EQ(failing.ui.Boxes(), (std::vector<std::string>{"[-] 50010 Could not clear EEPROM"}));
}

TEST_P(Procedures, ReadOutTakesTheHeaderSizeOrFallsBackToTheManualOne) {
  ShellRig rig(GetParam());
  std::vector<std::uint8_t> image = PatternBytes(512);
  image[9] = 0x00, image[10] = 0x10, image[11] = 0x01, image[12] = 0xF0;  // 16 + 496
  std::copy(image.begin(), image.end(), rig.Eeprom().begin());
  std::string file = rig.dir.File("out.hex");
  EXPECT_EQ(ReadOutFirmware(*rig.shell, file.c_str()), 1);
  EXPECT_EQ(rig.settings.readSize, 512);
  std::vector<std::uint8_t> loaded(512);
  EXPECT_EQ(ReadImageFile(file.c_str(), loaded.data(), 512), 512);
  EXPECT_EQ(loaded, image);
  EXPECT_EQ(rig.ui.Boxes(), (std::vector<std::string>{"[OK] 50040 Firmware download successful."}));

  ShellRig blank(GetParam());
  EXPECT_EQ(ReadOutFirmware(*blank.shell, file.c_str()), 1);
  EXPECT_EQ(blank.settings.readSize, 256);
  EXPECT_EQ(blank.ui.Boxes().front(),
            "[OK] 50010 Header illegal (more than 16384 or 0 Bytes) or EEProm empty.\nUsing manual setting\n"
            "Reading 256 Bytes");
}

TEST_P(Procedures, ReadOutRetriesWithEightByteBlocks) {
  sim::BoardConfig config;
  config.refuseReadLength = 16;
  ShellRig rig(GetParam(), config);
  rig.settings.readSizeAuto = 0;
  rig.settings.readSize = 40;
  EXPECT_EQ(ReadOutFirmware(*rig.shell, rig.dir.File("out.hex").c_str()), 1);
  std::vector<std::string> trace = rig.Trace();
  std::size_t sixteen = 0;
  std::size_t eight = 0;
  for (const std::string& line : trace) {
    sixteen += line.find("len=16 result=fail") != std::string::npos;
    eight += line.find("bus-read") != std::string::npos && line.find("len=8 ") != std::string::npos;
  }
  EXPECT_EQ(sixteen, 1u);
  EXPECT_EQ(eight, 5u);

  config.refuseReadLength = 0;
  config.failAfter = GetParam() == Interface::Hid ? 1 : 2;  // the board goes after the probe
  ShellRig gone(GetParam(), config);
  gone.settings.readSizeAuto = 0;
  EXPECT_EQ(ReadOutFirmware(*gone.shell, gone.dir.File("out.hex").c_str()), 0);
  EXPECT_EQ(gone.ui.Boxes(), (std::vector<std::string>{"[OK] 50010 Could not read EEPROM"}));
}

TEST_P(Procedures, RebootReachesTheChip) {
  ShellRig rig(GetParam());
  EXPECT_TRUE(RebootCommand(*rig.shell, 2));
  EXPECT_TRUE(RebootCommand(*rig.shell, 1));
  EXPECT_EQ(rig.board.Reboots(), (std::vector<sim::RebootMode>{sim::RebootMode::Rom, sim::RebootMode::Eeprom}));
  EXPECT_TRUE(rig.ui.Boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(EachInterface, Procedures,
                         ::testing::Values(Interface::Hid, Interface::FilterDriver, Interface::WinUsb),
                         [](const ::testing::TestParamInfo<Interface>& info) { return testing::NameOf(info.param); });

// Every pause of a procedure falls inside a 1 ms system timer it asked for, and the
// timer is given back however the procedure ends.
TEST(Procedures, HoldAFineSystemTimerForTheirWholeRun) {
  using Run = bool (*)(ShellRig& rig);
  const Run runs[] = {
      [](ShellRig& rig) { return UpdateFirmware(*rig.shell, rig.WriteImage(PatternBytes(100)).c_str()) == 1; },
      [](ShellRig& rig) { return ReadOutFirmware(*rig.shell, rig.dir.File("out.hex").c_str()) == 1; },
      [](ShellRig& rig) { return ClearEeprom(*rig.shell) == 1; },
      [](ShellRig& rig) {
        rig.settings.eepromAddress = 0x50;  // nobody answers the probe
        return UpdateFirmware(*rig.shell, nullptr) == 0;
      },
  };
  for (Run run : runs) {
    ShellRig rig(Interface::WinUsb, {}, 256);
    rig.settings.subaddressing = 1;
    EXPECT_TRUE(run(rig));
    EXPECT_GT(rig.os.SleepCount(), 0u);
    EXPECT_EQ(rig.os.SleepsAtDefaultPeriod(), 0u);
    EXPECT_EQ(rig.os.TimerPeriodRequests(), 1u);
    EXPECT_TRUE(rig.os.HeldTimerPeriods().empty());
  }
}

TEST(UpdateFirmware, ImageProblemsAreReportedWithTheirOutcomeCodes) {
  ShellRig rig(Interface::FilterDriver);
  std::string unreadable = rig.dir.File("bad.hex");
  testing::WriteFile(unreadable, "01 zz\n");
  EXPECT_EQ(UpdateFirmware(*rig.shell, unreadable.c_str()), 0);
  EXPECT_EQ(rig.shell->exitCode, kUpdateUnreadableImage);
  EXPECT_EQ(rig.ui.Boxes().back(), "[-] 50010 Could not read Firmware Image.\n" + unreadable);

  std::string longName(300, 'x');
  EXPECT_EQ(UpdateFirmware(*rig.shell, longName.c_str()), 0);  // never cut to another name
  EXPECT_EQ(rig.shell->exitCode, kUpdateUnreadableImage);
  EXPECT_LT(std::string(rig.shell->statusText.data()).size(), 256u);

  rig.settings.subaddressing = 1;
  EXPECT_EQ(UpdateFirmware(*rig.shell, rig.WriteImage(PatternBytes(257)).c_str()), 0);
  EXPECT_EQ(rig.shell->exitCode, kUpdateTooLargeForOneByte);
  EXPECT_EQ(rig.ui.Boxes().back(), "[OK] 50040 File to large for 1 Byte subaddressing");
}

TEST(UpdateFirmware, OneByteSubaddressingTakesAWhole256BytePart) {
  ShellRig rig(Interface::FilterDriver, {}, 256);
  rig.settings.subaddressing = 1;
  std::vector<std::uint8_t> image = PatternBytes(256);
  EXPECT_EQ(UpdateFirmware(*rig.shell, rig.WriteImage(image).c_str()), 1);
  EXPECT_EQ(rig.Eeprom(), image);
}

// A 1-byte part holds 256 bytes: an image reaching past them is too large however few
// bytes it gives, and a read-out stops at the end rather than wrap around.
TEST(OneBytePart, NothingGoesPastByte255) {
  ShellRig rig(Interface::FilterDriver, {}, 256);
  rig.settings.subaddressing = 1;
  std::string image = rig.dir.File("high.hex");
  testing::WriteFile(image, "@0100 01\n");
  EXPECT_EQ(UpdateFirmware(*rig.shell, image.c_str()), 0);
  EXPECT_EQ(rig.shell->exitCode, kUpdateTooLargeForOneByte);

  rig.settings.readSizeAuto = 0;
  rig.settings.readSize = 272;
  std::string file = rig.dir.File("out.hex");
  EXPECT_EQ(ReadOutFirmware(*rig.shell, file.c_str()), 1);
  std::vector<std::uint8_t> loaded(65535);
  EXPECT_EQ(ReadImageFile(file.c_str(), loaded.data(), 65535), 256);
  EXPECT_EQ(rig.ui.Outputs()[1],
            "Firmware download in progress...\nReading 256 Bytes (at most 256 with 1 Byte subaddressing)");
}

TEST(UpdateFirmware, CancelledQuestionLeavesOnlyTheWindowText) {
  ShellRig rig(Interface::Hid);
  rig.shell->exitCode = 7;
  EXPECT_EQ(UpdateFirmware(*rig.shell, nullptr), 0);
  EXPECT_STREQ(rig.shell->statusText.data(), "Please select a valid Firmware Image.");
  EXPECT_EQ(rig.shell->exitCode, 7);
  EXPECT_TRUE(rig.ui.Boxes().empty());
  EXPECT_EQ(ReadOutFirmware(*rig.shell, nullptr), 0);
  EXPECT_STREQ(rig.shell->statusText.data(), "Please select a valid filename.");
  EXPECT_EQ(rig.ui.questions, (std::vector<FileQuestion>{FileQuestion::Open, FileQuestion::Save}));
}

TEST(UpdateFirmware, SilentModeSendsMessagesToTheDebugOutput) {
  ShellRig rig(Interface::WinUsb);
  rig.shell->silentMode = true;
  EXPECT_EQ(UpdateFirmware(*rig.shell, rig.WriteImage(PatternBytes(64)).c_str()), 1);
  EXPECT_TRUE(rig.ui.Boxes().empty());
  EXPECT_EQ(rig.os.debugLines, (std::vector<std::string>{"Firmware update in progress...\npagesize 64",
                                                          "Firmware update successful.\nPlease re-plug the device."}));
}

}  // namespace
}  // namespace tessora

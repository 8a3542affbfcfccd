#include "app/options_rules.h"

#include <gtest/gtest.h>

#include "tests/support/recording_ui.h"
#include "tests/support/test_support.h"

namespace tessora {
namespace {

class OptionsRulesTest : public ::testing::Test {
 protected:
  testing::DirectRig rig{testing::Route::Driver};
  testing::RecordingUi ui;
  testing::RecordingOs os;
  testing::MemorySettingsStore store;
  ShellContext shell{rig.settings, rig.context, ui, os, store};
};

TEST_F(OptionsRulesTest, InitialisationShowsTheSettings) {
  rig.settings.eepromAddress = 0x0A;
  rig.settings.readSize = 300;
  rig.settings.useWinUsb = 1;
  OptionsState state = InitOptions(rig.settings);
  EXPECT_EQ(state.addressText, "a");
  EXPECT_EQ(state.readSizeText, "300");
  EXPECT_EQ(state.subaddressing, kTwoByte);
  EXPECT_EQ(state.readSizeMode, kSizeAuto);
  EXPECT_TRUE(state.readSizeReadOnly);
  EXPECT_EQ(state.deviceInterface, kInterfaceWinUsb);

  state.readSizeMode = kSizeManual;
  SyncReadSizeBox(state);
  EXPECT_FALSE(state.readSizeReadOnly);

  rig.settings.subaddressing = 3;  // hand-edited store: the rest is left as it was
  OptionsState stopped = InitOptions(rig.settings);
  EXPECT_EQ(stopped.readSizeMode, 0);
  EXPECT_FALSE(stopped.defaultFocus);
}

TEST_F(OptionsRulesTest, OkTakesTwoAddressCharactersAndSevenSizeCharacters) {
  OptionsState state = InitOptions(rig.settings);
  state.addressText = "151";
  state.readSizeText = "65536";
  state.readSizeMode = kSizeManual;
  state.deviceInterface = kInterfaceHid;
  ASSERT_EQ(ApplyOptionsOk(shell, state), OptionsOutcome::Saved);
  EXPECT_EQ(rig.settings.eepromAddress, 0x15);
  EXPECT_EQ(rig.settings.readSize, 0);  // low 16 bits
  EXPECT_EQ(rig.settings.readSizeAuto, 0);
  EXPECT_EQ(rig.settings.useHid, 1u);
  EXPECT_EQ(store.values["EEPROM_ADR"][0], 0x15);
  EXPECT_EQ(ui.Outputs().back(), "Firmware updater for Qorvane.\nDevice interface selected: HID");

  state.addressText = "zz";
  state.readSizeText = "-1";
  state.deviceInterface = kInterfaceWinUsb;
  ASSERT_EQ(ApplyOptionsOk(shell, state), OptionsOutcome::KeptOpen);  // 65535 is too large
  EXPECT_EQ(rig.settings.eepromAddress, 0x15);
  EXPECT_EQ(rig.settings.useWinUsb, 1u);
  EXPECT_EQ(rig.settings.useHid, 0u);
  EXPECT_EQ(ui.Boxes().back(), "[-] 50010 Maximum 16384 Byte EEProm supported");
}

TEST_F(OptionsRulesTest, ReadSizeAboveTheLargestEepromKeepsTheDialogOpenUnsaved) {
  OptionsState state = InitOptions(rig.settings);
  state.readSizeText = "20000";
  ASSERT_EQ(ApplyOptionsOk(shell, state), OptionsOutcome::KeptOpen);
  EXPECT_EQ(state.readSizeText, "16384");
  EXPECT_EQ(rig.settings.readSize, 16384);
  EXPECT_TRUE(store.writes.empty());
  ASSERT_EQ(ApplyOptionsOk(shell, state), OptionsOutcome::Saved);  // OK again saves
  EXPECT_EQ(store.values["readsize_hi"][0], 0x40);

  state.subaddressing = 0;
  EXPECT_EQ(ApplyOptionsOk(shell, state), OptionsOutcome::Stopped);
}

}  // namespace
}  // namespace tessora

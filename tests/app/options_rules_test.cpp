#include "app/options_rules.h"

#include <gtest/gtest.h>

#include "tests/support/shell_rig.h"

namespace tessora {
namespace {

class OptionsRulesTest : public ::testing::Test {
 protected:
  test::ShellRig rig{test::Interface::FilterDriver};
};

TEST_F(OptionsRulesTest, InitialisationShowsTheSettings) {
  rig.settings.eepromAddress = 0x0A;
  rig.settings.useWinUsb = 1;
  OptionsState state = InitOptions(rig.settings);
  EXPECT_EQ(state.addressText, "a");
  EXPECT_EQ(state.deviceInterface, kInterfaceWinUsb);
  EXPECT_TRUE(state.readSizeReadOnly);
  state.readSizeMode = kSizeManual;
  SyncReadSizeBox(state);
  EXPECT_FALSE(state.readSizeReadOnly);

  rig.settings.subaddressing = 3;  // hand-edited store: the rest is left as it was
  EXPECT_FALSE(InitOptions(rig.settings).defaultFocus);
}

// OK reads two address characters as "%x" and seven size characters as "%d"; an
// address beyond 7 bits or a size above 16384 keeps the dialog open unsaved.
TEST_F(OptionsRulesTest, OkTakesTheBoxesOrKeepsTheDialogOpen) {
  struct Case {
    const char* address;
    const char* size;
    OptionsOutcome outcome;
    std::uint8_t addressAfter;
    std::uint16_t sizeAfter;
    const char* box;  // the message shown, or "" for none
  };
  const Case cases[] = {
      {"151", "65536", OptionsOutcome::Saved, 0x15, 0, ""},  // low 16 bits of the size
      {"zz", "16384", OptionsOutcome::Saved, 0x51, 16384, ""},
      {"7f", "0", OptionsOutcome::Saved, 0x7F, 0, ""},
      {"d1", "100", OptionsOutcome::KeptOpen, 0x51, 256, "[-] 50010 EEPROM address must be 7 bit (0 to 7f)"},
      {"50", "-1", OptionsOutcome::KeptOpen, 0x50, 16384, "[-] 50010 Maximum 16384 Byte EEProm supported"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.address) + " " + c.size);
    rig.settings = Settings{};
    rig.ui.events.clear();
    rig.store.writes.clear();
    OptionsState state = InitOptions(rig.settings);
    state.addressText = c.address;
    state.readSizeText = c.size;
    EXPECT_EQ(ApplyOptionsOk(*rig.shell, state), c.outcome);
    EXPECT_EQ(rig.settings.eepromAddress, c.addressAfter);
    EXPECT_EQ(rig.settings.readSize, c.sizeAfter);
    EXPECT_EQ(rig.ui.Boxes(), std::string(c.box).empty() ? std::vector<std::string>{} : std::vector<std::string>{c.box});
    EXPECT_EQ(rig.store.writes.empty(), c.outcome != OptionsOutcome::Saved);
    if (c.outcome == OptionsOutcome::KeptOpen) {
      EXPECT_EQ(state.addressText, c.addressAfter == 0x51 ? "51" : c.address);  // the box shows what holds
      EXPECT_EQ(ApplyOptionsOk(*rig.shell, state), OptionsOutcome::Saved);          // OK again saves
    }
  }
}

TEST_F(OptionsRulesTest, InterfaceChoiceAndUnselectedGroups) {
  OptionsState state = InitOptions(rig.settings);
  state.deviceInterface = kInterfaceHid;
  ASSERT_EQ(ApplyOptionsOk(*rig.shell, state), OptionsOutcome::Saved);
  EXPECT_EQ(rig.settings.useHid, 1u);
  EXPECT_EQ(rig.store.values["device_iface"][0], 1);
  EXPECT_EQ(rig.ui.Outputs().back(), "Firmware updater for Qorvane.\nDevice interface selected: HID");
  state.deviceInterface = kInterfaceWinUsb;
  ASSERT_EQ(ApplyOptionsOk(*rig.shell, state), OptionsOutcome::Saved);
  EXPECT_EQ(rig.settings.useWinUsb, 1u);
  EXPECT_EQ(rig.settings.useHid, 0u);

  state.subaddressing = 0;
  EXPECT_EQ(ApplyOptionsOk(*rig.shell, state), OptionsOutcome::Stopped);
}

}  // namespace
}  // namespace tessora

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/procedures.h"
#include "tests/support/shell_rig.h"

namespace tessora {
namespace {

using test::Interface;
using test::ShellRig;

// The chip boots from its ROM while byte 0 is erased. An update broken off at any point
// may leave new header bytes (1-63) only over a complete body, and byte 0's write, the
// last, only over a complete image.
bool HeaderWaitsForTheBody(const std::vector<std::uint8_t>& eeprom, const std::vector<std::uint8_t>& image,
                           std::size_t page) {
  if (std::equal(image.begin(), image.end(), eeprom.begin())) return true;
  auto erased = [&](std::size_t from, std::size_t to) {
    return std::all_of(eeprom.begin() + from, eeprom.begin() + to, [](std::uint8_t b) { return b == 0xFF; });
  };
  bool bodyDone = image.size() <= 64 || std::equal(image.begin() + 64, image.end(), eeprom.begin() + 64);
  return erased(0, page) && (bodyDone || erased(page, 64));
}

// The board is unplugged after every request of a clean update in turn: a small image and
// one that is all header, at page size 64 and after the fall-back to 8, on each interface.
// No run may pass for a success or leave a half-written header, and a rerun completes.
TEST(UnplugSweep, EveryBreakFailsLeavesTheHeaderBlankAndTheRerunCompletes) {
  for (Interface face : {Interface::Hid, Interface::FilterDriver, Interface::WinUsb}) {
    for (std::size_t size : {150u, 20u}) {
      for (std::uint32_t page : {64u, 8u}) {
        sim::BoardConfig config{.writeLimit = page};  // at 8, pages of 64, 32 and 16 fail
        std::vector<std::uint8_t> image = test::PatternBytes(size);
        ShellRig clean(face, config);
        ASSERT_EQ(UpdateFirmware(*clean.shell, clean.WriteImage(image).c_str()), 1);
        for (std::size_t after = 0; after < clean.Trace().size(); ++after) {
          SCOPED_TRACE(std::string(test::NameOf(face)) + " size " + std::to_string(size) + " page " +
                       std::to_string(page) + " unplugged after request " + std::to_string(after));
          config.failAfter = after;
          ShellRig rig(face, config);
          std::string file = rig.WriteImage(image);
          EXPECT_EQ(UpdateFirmware(*rig.shell, file.c_str()), 0);
          EXPECT_NE(rig.shell->exitCode, kUpdateSucceeded);
          EXPECT_TRUE(HeaderWaitsForTheBody(rig.Eeprom(), image, page));
          rig.Board().Replug();
          EXPECT_EQ(UpdateFirmware(*rig.shell, file.c_str()), 1);
          EXPECT_TRUE(std::equal(image.begin(), image.end(), rig.Eeprom().begin()));
          if (HasFailure()) return;
        }
      }
    }
  }
}

}  // namespace
}  // namespace tessora

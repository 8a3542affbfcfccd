// tessora --station over the Linux device stack: controllers arriving and leaving as udev
// announces them, every request reaching the boards here through the kernel interfaces.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>
#include <string>

#include "tests/linux/emulated_usb.h"
#include "tests/support/started_program.h"
#include "tests/support/test_support.h"

namespace tessora::test {
namespace {

std::size_t BusWrites(const sim::SimBoard& board) {
  std::size_t writes = 0;
  for (const std::string& line : board.TraceLines()) writes += line.find(" bus-write ") != std::string::npos ? 1 : 0;
  return writes;
}

// A keyboard, a controller plugged in from the start, one plugged in later, and the first
// one again where it is plugged back in.
class LinuxStation : public ::testing::Test {
 protected:
  sim::SimBoard boardA{{}, std::vector<std::uint8_t>(16384, 0xFF)};
  sim::SimBoard boardB{{}, std::vector<std::uint8_t>(16384, 0xFF)};
  EmulatedUsb usb{{{0x046D, 0xC31C, "Keyboard", "", KeyboardReportDescriptor(), false, nullptr},
                   {.board = &boardA},
                   {.serial = "QV000002", .board = &boardB, .plugged = false},
                   {.board = &boardA, .plugged = false}}};
  TempDir scratch;
};

TEST_F(LinuxStation, AnArrivalStartsABoardAndAReplugStartsItAgain) {
  const std::string err = scratch.File("lines");  // both streams, as on a terminal
  StartedProgram station("exec env XDG_CONFIG_HOME=" + scratch.File("config") + " TESSORA_SIM= " TESSORA_PROGRAM
                         " --debug --interface hid --station " TESSORA_SOURCE_DIR "/examples/firmware.hex >" + err +
                         " 2>&1 </dev/null");
  ASSERT_TRUE(station.Await(err, "QV000001 (port 1-3): succeeded")) << ReadFile(err);
  usb.Plug(2);
  ASSERT_TRUE(station.Await(err, "QV000002 (port 1-4): succeeded")) << ReadFile(err);
  // umockdev announces a removal while the device is still there: a later event, for a
  // device that stays, has the station list the devices again once it is gone.
  usb.Unplug(1);
  usb.Announce(0, "change");
  ASSERT_TRUE(station.Await(err, "Station: QV000001 (port 1-3) is gone")) << ReadFile(err);
  usb.Plug(3);
  ASSERT_TRUE(station.Await(err, "QV000001 (port 1-5): succeeded")) << ReadFile(err);
  station.Send(SIGINT);
  EXPECT_EQ(station.Status(), 0);
  EXPECT_NE(ReadFile(err).find("\nStation: 3 passed, 0 failed, "), std::string::npos) << ReadFile(err);
  EXPECT_GT(BusWrites(boardB), 0u);
  EXPECT_EQ(BusWrites(boardA), 2 * BusWrites(boardB));
}

}  // namespace
}  // namespace tessora::test

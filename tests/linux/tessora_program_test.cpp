// The unmodified tessora program, started with the emulated machine of this process:
// every request it sends reaches the board here through the kernel interfaces.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "engine/image_file.h"
#include "tests/linux/emulated_usb.h"
#include "tests/support/test_support.h"

namespace tessora::test {
namespace {

using ::testing::HasSubstr;
using Bytes = std::vector<std::uint8_t>;

Bytes ImageBytes(const std::string& path) {
  Bytes bytes(16384);
  bytes.resize(std::max(0, ReadImageFile(path.c_str(), bytes.data(), static_cast<int>(bytes.size()))));
  return bytes;
}

// The machine of the Linux stack's tests: a keyboard, then the two controllers.
class TessoraProgramTest : public LinuxStackTest {
 protected:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", scratch.File("config").c_str(), 1);
    unsetenv("TESSORA_SIM");
  }
  // Runs tessora and expects this exit status; `timeout` ends it (status 124) should it hang.
  std::string Run(const std::vector<std::string>& arguments, int expected = 0) {
    std::string command = "timeout 60 " TESSORA_PROGRAM, output;
    for (const std::string& argument : arguments) command += " '" + argument + "'";
    std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) output.append(chunk, n);
    int status = pclose(pipe);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, expected) << command << "\n" << output;
    return output;
  }

  TempDir scratch;
  const std::string firmware = std::string(TESSORA_SOURCE_DIR) + "/examples/firmware.hex";
};

TEST_F(TessoraProgramTest, UpdatesReadsOutClearsAndRebootsOverHidAndWinUsb) {
  const Bytes image = ImageBytes(firmware);
  ASSERT_FALSE(image.empty());
  const Bytes& eeprom = boardA.EepromPart().Contents();
  for (const char* interface : {"hid", "winusb"}) {
    SCOPED_TRACE(interface);
    // Board B answers over HID too: each run names board A.
    Run({"--save", "--interface", interface, "--device", "QV000001", "-s", firmware});
    EXPECT_EQ(Bytes(eeprom.begin(), eeprom.begin() + static_cast<std::ptrdiff_t>(image.size())), image);
    std::string readOut = scratch.File(std::string(interface) + ".hex");
    Run({"--device", "QV000001", "--read-out", readOut});
    EXPECT_EQ(ImageBytes(readOut), image);
    Run({"--device", "QV000001", "--reboot", "rom"});
    Run({"--device", "QV000001", "--reboot", "eeprom"});
    Run({"--device", "QV000001", "--clear"});
    EXPECT_EQ(eeprom, Bytes(16384, 0xFF));
  }
  using enum sim::RebootMode;
  EXPECT_EQ(boardA.Reboots(), (std::vector{Rom, Eeprom, Rom, Eeprom}));
}

TEST_F(TessoraProgramTest, ListsEveryInterfaceAndHintsAtThemForTheFilterDriver) {
  std::string list = Run({"--list"});
  // Every HID node in node order, the keyboard's UTF-8 name intact; WinUSB only where declared.
  EXPECT_EQ(list,
            "INTERFACE    PATH VID:PID PRODUCT SERIAL INSTANCE-ID ACCESS [CANDIDATE]\n"
            "hid          /dev/hidraw0 046d:c31c \"Tastatur \xC4\" - USB\\VID_046D&PID_C31C\\1-2 opens\n"
            "hid          /dev/hidraw1 3e9a:0210 \"Qorvane USB Controller\" QV000001 USB\\VID_3E9A&PID_0210\\QV000001 "
            "opens candidate\n"
            "hid          /dev/hidraw2 3e9a:0210 \"HID 3e9a:0210\" - USB\\VID_3E9A&PID_0210\\1-4 opens candidate\n"
            "winusb       /dev/bus/usb/001/003 3e9a:0210 \"-\" QV000001 USB\\VID_3E9A&PID_0210\\QV000001 opens\n");
  EXPECT_TRUE(boardA.TraceLines().empty() && boardB.TraceLines().empty());  // listing sends nothing
  std::string hint = Run({"--interface", "filterdriver", "--clear"}, 3);
  EXPECT_THAT(hint, HasSubstr("Could not find installed device."));
  EXPECT_THAT(hint, HasSubstr("--interface hid or --interface winusb"));
  EXPECT_THAT(Run({"--udev-rule"}), HasSubstr("SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"3e9a\", "
                                              "ATTRS{idProduct}==\"0210\", TAG+=\"uaccess\""));
}

// With no interface given, and the stored default the FilterDriver Linux has not, a run
// takes the interface that finds a controller.
TEST_F(TessoraProgramTest, WithoutAnInterfaceTheOneThatFindsAControllerIsTaken) {
  EXPECT_THAT(Run({"--json", "--device", "QV000001", "--clear"}), HasSubstr("\"interface\":\"hid\","));
  EXPECT_EQ(boardA.EepromPart().Contents(), Bytes(16384, 0xFF));
  Run({"--save", "--interface", "filterdriver", "--device", "QV000001", "--clear"}, 3);  // chosen: it stays
}

// One board named by its port or its serial number, then every board at once: each through
// a device stack of its own, the keyboard not counted.
TEST_F(TessoraProgramTest, PicksOneBoardOrTakesThemAll) {
  const Bytes image = ImageBytes(firmware);
  Run({"--save", "--interface", "hid", "--device", "usb:1-4", "-s", firmware});
  const Bytes& b = boardB.EepromPart().Contents();
  EXPECT_EQ(Bytes(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(image.size())), image);
  EXPECT_TRUE(boardA.TraceLines().empty());
  EXPECT_THAT(Run({"--device", "QV000001", "--verify", firmware}, 5), HasSubstr("differ"));
  // A board without a serial number is named by its place.
  EXPECT_THAT(Run({"--device", "usb:1-4", "--verify", firmware}), HasSubstr("\nport 1-4: succeeded\n"));
  EXPECT_THAT(Run({"--device", "usb:9-9", "--clear"}, 3), HasSubstr("no device"));
  Run({"--device", "QV000001", "-s", firmware});
  std::string result = Run({"--json", "--device", "QV000001", "--update-changed", firmware});
  EXPECT_THAT(result, HasSubstr("\"serial\":\"QV000001\",\"port\":\"1-3\","));
  EXPECT_THAT(result, HasSubstr("\"pages\":0,\"pages_skipped\":8,"));
  EXPECT_THAT(Run({"--all", "--clear"}), HasSubstr("2 of 2 boards succeeded"));
  EXPECT_EQ(boardA.EepromPart().Contents(), Bytes(16384, 0xFF));
  EXPECT_EQ(b, Bytes(16384, 0xFF));
}

// A fresh board per interface: an unplugged board stays unplugged.
class UnplugTest : public TessoraProgramTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(UnplugTest, AnUnplugInMidUpdateEndsTheRunWithAFailureAndAMessage) {
  boardA.MutableConfig().failAfter = 12;
  EXPECT_THAT(Run({"--interface", GetParam(), "--device", "QV000001", firmware}, 1),
              HasSubstr("Could not program Firmware Image."));
  EXPECT_FALSE(boardA.Present());
}

INSTANTIATE_TEST_SUITE_P(BothInterfaces, UnplugTest, ::testing::Values("hid", "winusb"));

}  // namespace
}  // namespace tessora::test

// The unmodified tessora program, started with the emulated machine of this process:
// every request it sends reaches the board here through the kernel interfaces.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/image_file.h"
#include "tests/linux/emulated_usb.h"
#include "tests/support/test_support.h"

namespace tessora::testing {
namespace {

struct Outcome {
  int status = -1;
  std::string output;  // standard output and error
};

// `timeout` ends the program should it hang; its status 124 then fails the test.
Outcome RunTessora(const std::vector<std::string>& arguments) {
  std::string command = "timeout 60 " TESSORA_PROGRAM;
  for (const std::string& argument : arguments) command += " '" + argument + "'";
  Outcome outcome;
  std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  char chunk[4096];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) outcome.output.append(chunk, n);
  int status = pclose(pipe);
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  EXPECT_NE(outcome.status, 124) << "tessora hung: " << command;
  return outcome;
}

std::vector<std::uint8_t> ImageBytes(const std::string& path) {
  std::vector<std::uint8_t> bytes(16384, 0xFF);
  int count = ReadImageFile(path.c_str(), bytes.data(), static_cast<int>(bytes.size()));
  EXPECT_GT(count, 0) << path;
  bytes.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
  return bytes;
}

class TessoraProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", scratch.File("config").c_str(), 1);
    unsetenv("TESSORA_SIM");
  }
  std::vector<std::uint8_t> Eeprom(std::size_t size) {
    const std::vector<std::uint8_t>& all = board.EepromPart().Contents();
    return {all.begin(), all.begin() + static_cast<std::ptrdiff_t>(size)};
  }

  TempDir scratch;
  const std::string firmware = std::string(TESSORA_SOURCE_DIR) + "/examples/firmware.hex";
  sim::SimBoard board{{}, std::vector<std::uint8_t>(16384, 0xFF)};
  EmulatedUsb usb{{EmulatedDevice{0x3E9A, 0x0210, "Qorvane USB Controller", "QV000001",
                                  ControllerReportDescriptor(), true, &board}}};
};

TEST_F(TessoraProgramTest, UpdatesReadsOutClearsAndRebootsOverHidAndWinUsb) {
  const std::vector<std::uint8_t> image = ImageBytes(firmware);
  for (const char* interface : {"hid", "winusb"}) {
    SCOPED_TRACE(interface);
    board.EepromPart().Contents().assign(16384, 0xFF);
    Outcome update = RunTessora({"--interface", interface, "-s", firmware});
    EXPECT_EQ(update.status, 0) << update.output;
    EXPECT_EQ(Eeprom(image.size()), image);

    std::string readOut = scratch.File(std::string(interface) + ".hex");
    Outcome read = RunTessora({"--read-out", readOut});
    EXPECT_EQ(read.status, 0) << read.output;
    EXPECT_EQ(ImageBytes(readOut), image);

    for (const char* mode : {"rom", "eeprom"}) {
      Outcome reboot = RunTessora({"--reboot", mode});
      EXPECT_EQ(reboot.status, 0) << reboot.output;
      ASSERT_FALSE(board.Reboots().empty());
      EXPECT_EQ(board.Reboots().back(), mode[0] == 'r' ? sim::RebootMode::Rom : sim::RebootMode::Eeprom);
    }

    Outcome clear = RunTessora({"--clear"});
    EXPECT_EQ(clear.status, 0) << clear.output;
    EXPECT_EQ(Eeprom(16384), std::vector<std::uint8_t>(16384, 0xFF));
  }
}

TEST_F(TessoraProgramTest, ListsTheControllerOnBothInterfacesAndTheFilterDriverOnNeither) {
  Outcome list = RunTessora({"--list"});
  EXPECT_EQ(list.status, 0);
  EXPECT_NE(list.output.find("hid          /dev/hidraw0 3e9a:0210 \"Qorvane USB Controller\" QV000001 "
                             "USB\\VID_3E9A&PID_0210\\QV000001 opens candidate\n"),
            std::string::npos)
      << list.output;
  EXPECT_NE(list.output.find("winusb       /dev/bus/usb/001/002 3e9a:0210 \"-\" QV000001 "
                             "USB\\VID_3E9A&PID_0210\\QV000001 opens\n"),
            std::string::npos)
      << list.output;
  EXPECT_EQ(list.output.find("filterdriver"), std::string::npos);
  EXPECT_TRUE(board.TraceLines().empty());  // listing sent the board nothing

  Outcome filterDriver = RunTessora({"--interface", "filterdriver", "--clear"});
  EXPECT_EQ(filterDriver.status, 1);
  EXPECT_NE(filterDriver.output.find("Could not find installed device."), std::string::npos);
  EXPECT_NE(filterDriver.output.find("--interface hid or --interface winusb"), std::string::npos);

  Outcome rule = RunTessora({"--udev-rule"});
  EXPECT_EQ(rule.status, 0);
  EXPECT_NE(rule.output.find("SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"3e9a\", ATTRS{idProduct}==\"0210\", "
                             "TAG+=\"uaccess\""),
            std::string::npos)
      << rule.output;
}

// A fresh board per interface: an unplugged board stays unplugged.
class UnplugTest : public TessoraProgramTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(UnplugTest, AnUnplugInMidUpdateEndsTheRunWithAFailureAndAMessage) {
  board.MutableConfig().failAfter = 12;
  Outcome update = RunTessora({"--interface", GetParam(), firmware});
  EXPECT_EQ(update.status, 1);
  EXPECT_NE(update.output.find("Could not program Firmware Image."), std::string::npos) << update.output;
  EXPECT_FALSE(board.Present());
}

INSTANTIATE_TEST_SUITE_P(BothInterfaces, UnplugTest, ::testing::Values("hid", "winusb"));

}  // namespace
}  // namespace tessora::testing

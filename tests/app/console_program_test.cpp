// The Linux program itself, run as a user runs it.
#ifndef _WIN32
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/test_support.h"

namespace tessora {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

struct ProgramRun {
  int status;
  std::string out;
  std::string err;
};

// The program sits in bin/ beside the tests/ folder of the same build.
std::string ProgramPath() {
  return (fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "bin" / "tessora").string();
}

class ConsoleProgram : public ::testing::Test {
 protected:
  ProgramRun Tessora(const std::string& arguments) {
    std::string command = "XDG_CONFIG_HOME=" + dir.File("config") + " TESSORA_SIM=" + board + " " + ProgramPath() +
                          " " + arguments + " >" + dir.File("out") + " 2>" + dir.File("err") + " </dev/null";
    int raw = std::system(command.c_str());
    return ProgramRun{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(dir.File("out")), ReadFile(dir.File("err"))};
  }

  std::string Example() const { return std::string(TESSORA_SOURCE_DIR) + "/examples/firmware.hex"; }

  TempDir dir;
  std::string board = dir.File("board");
  void SetUp() override { fs::create_directory(board); }
};

TEST_F(ConsoleProgram, SilentUpdateThenReadOutGiveTheImageBack) {
  ProgramRun update = Tessora("-s " + Example());
  EXPECT_EQ(update.status, 0);
  EXPECT_EQ(update.out,
            "Tessora - silent mode\nFirmware update in progress...\npagesize 64\n"
            "Firmware update successful.\nPlease re-plug the device.\n");
  EXPECT_EQ(update.err.rfind("Tessora - silent mode\n", 0), 0u);
  EXPECT_NE(update.err.find("Exit code: 1\n"), std::string::npos);

  ProgramRun readOut = Tessora("--read-out " + dir.File("back.hex"));
  EXPECT_EQ(readOut.status, 0);
  std::string image = ReadFile(Example());
  EXPECT_EQ(ReadFile(dir.File("back.hex")), image.substr(image.find('\n') + 1));  // without its comment line
}

TEST_F(ConsoleProgram, FailuresGiveTheirExitStatus) {
  WriteFile(board + "/board.conf", "interfaces = filterdriver\n");
  ProgramRun noHid = Tessora("--interface hid -s " + Example());
  EXPECT_EQ(noHid.status, 1);
  EXPECT_NE(noHid.err.find("Exit code: -1"), std::string::npos);
  EXPECT_NE(ReadFile(dir.File("config/Velmora/tessora")).find("device_iface=01"), std::string::npos);

  ProgramRun bad = Tessora("--interface filterdriver " + dir.File("missing.hex"));
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.out.find("Could not read Firmware Image.\n" + dir.File("missing.hex")), std::string::npos);

  EXPECT_EQ(Tessora("--read-size 20000 --clear").status, 1);
  EXPECT_EQ(Tessora("--frobnicate").status, 2);
  EXPECT_EQ(Tessora("--clear " + Example()).status, 2);
}

TEST_F(ConsoleProgram, ClearRebootAndSettings) {
  WriteFile(board + "/eeprom.bin", std::string(256, '\x42'));
  EXPECT_EQ(Tessora("--subaddressing 1 --address 151 --clear").status, 1);  // nobody at 0x15
  EXPECT_EQ(Tessora("--address 51 --clear -s").status, 0);
  EXPECT_EQ(ReadFile(board + "/eeprom.bin"), std::string(256, '\xFF'));
  EXPECT_EQ(Tessora("--reboot rom").status, 0);
  EXPECT_NE(ReadFile(board + "/trace.log").find("filterdriver reboot mode=rom"), std::string::npos);
  EXPECT_EQ(ReadFile(dir.File("config/Velmora/tessora")),
            "EEPROM_ADR=51\nreadsize_hi=01\nreadsize_lo=00\naddressing=01\nreadsize_auto=01\n"
            "device_iface=00\nwinusb_option=00\n");
}

// A bench of three boards, the third of which reads one byte back wrong.
TEST_F(ConsoleProgram, EveryBoardAtOnceAndOneChosenBoardOnEachInterface) {
  std::string bench;
  for (const char* name : {"b1", "b2", "b3"}) {
    fs::create_directory(dir.File(name));
    bench += (bench.empty() ? "" : ":") + dir.File(name);
  }
  WriteFile(dir.File("b3/board.conf"), "corrupt_readback = 0x10\n");
  board = bench;
  const std::string blank(16384, '\xFF');
  for (const char* face : {"hid", "filterdriver", "winusb"}) {
    SCOPED_TRACE(face);
    for (const char* name : {"b1", "b2", "b3"}) WriteFile(dir.File(name) + "/eeprom.bin", blank);
    ProgramRun all = Tessora(std::string("--interface ") + face + " --all " + Example());
    EXPECT_EQ(all.status, 1);
    for (const char* line : {"QV000001: succeeded (Firmware update successful. Please re-plug the device.)\n",
                             "QV000002: succeeded", "QV000003: FAILED (Could not program Firmware Image.)\n"})
      EXPECT_NE(all.out.find(line), std::string::npos) << all.out;
    EXPECT_NE(all.out.find("\n2 of 3 boards succeeded\n"), std::string::npos) << all.out;

    ProgramRun chosen = Tessora("--device QV000002 --clear");
    EXPECT_EQ(chosen.status, 0);
    EXPECT_EQ(ReadFile(dir.File("b2/eeprom.bin")), blank);
    EXPECT_NE(ReadFile(dir.File("b1/eeprom.bin")), blank);
  }
  EXPECT_EQ(Tessora("--read-size 64 --all --read-out " + dir.File("out.hex")).status, 0);
  EXPECT_NE(ReadFile(dir.File("out-QV000001.hex")), ReadFile(dir.File("out-QV000002.hex")));

  ProgramRun absent = Tessora("--device QV000009 --clear");
  EXPECT_EQ(absent.status, 1);
  EXPECT_NE(absent.err.find("no device \"QV000009\" on the WinUSB interface"), std::string::npos);
  for (const char* usage : {"--all", "--all --device QV000001 --clear", "--all --list"})
    EXPECT_EQ(Tessora(usage).status, 2) << usage;
}

}  // namespace
}  // namespace tessora
#endif

// The Linux program itself, run as a user runs it.
#ifndef _WIN32
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/procedure_lock.h"
#include "app/program_devices.h"
#include "engine/connection.h"
#include "engine/eeprom_transfer.h"
#include "platform/sim/board_directory.h"
#include "tests/support/recording_ui.h"
#include "tests/support/test_support.h"

namespace tessora {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::WriteFile;

struct ProgramRun {
  int status;
  std::string out;
  std::string err;
};

class ConsoleProgram : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directory(board); }
  void TearDown() override {
    std::string error;
    testing::RemoveLockFiles(sim::BoardDirectory::Open(board, error)->Serial());
  }

  ProgramRun Tessora(const std::string& arguments) {
    // The program sits in bin/ beside the tests/ folder of the same build.
    std::string program = (fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "bin" / "tessora").string();
    std::string command = "XDG_CONFIG_HOME=" + dir.File("config") + " TESSORA_SIM=" + board + " " + program + " " +
                          arguments + " >" + dir.File("out") + " 2>" + dir.File("err") + " </dev/null";
    int raw = std::system(command.c_str());
    return ProgramRun{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(dir.File("out")), ReadFile(dir.File("err"))};
  }
  std::string Example() const { return std::string(TESSORA_SOURCE_DIR) + "/examples/firmware.hex"; }

  testing::TempDir dir;
  std::string board = dir.File("board");
};

TEST_F(ConsoleProgram, SilentUpdateThenReadOutGiveTheImageBack) {
  // A name longer than Windows' 260 characters is a name like any other here.
  fs::path deep = dir.Path() / std::string(200, 'd') / std::string(100, 'e');
  fs::create_directories(deep);
  fs::copy_file(Example(), deep / "firmware.hex");
  ProgramRun update = Tessora("-s " + (deep / "firmware.hex").string());
  EXPECT_EQ(update.status, 0);
  EXPECT_EQ(update.out,
            "Tessora - silent mode\nFirmware update in progress...\npagesize 64\n"
            "Firmware update successful.\nPlease re-plug the device.\n");
  EXPECT_EQ(update.err.rfind("Tessora - silent mode\n", 0), 0u);
  EXPECT_NE(update.err.find("Exit code: 1\n"), std::string::npos);

  EXPECT_EQ(Tessora("--read-out " + dir.File("back.hex")).status, 0);
  std::string image = ReadFile(Example());
  EXPECT_EQ(ReadFile(dir.File("back.hex")), image.substr(image.find('\n') + 1));  // without its comment line
}

TEST_F(ConsoleProgram, ExitStatusOfEachKindOfRun) {
  WriteFile(board + "/board.conf", "interfaces = filterdriver\n");
  const std::pair<std::string, int> runs[] = {
      {"--interface hid -s " + Example(), 1},  // no HID face: saved, then no device
      {"--interface filterdriver " + dir.File("missing.hex"), 1},
      {"--read-size 20000 --clear", 1},
      {"--frobnicate", 2},
      {"--clear " + Example(), 2},
      {"-s", 2},  // no image named
      {"-s ''", 2},
      {"--address d1 --clear", 2},  // 8 bits: another device on the bus
      {"--address zz --clear", 2},
  };
  for (const auto& [arguments, status] : runs) EXPECT_EQ(Tessora(arguments).status, status) << arguments;
  EXPECT_EQ(ReadFile(dir.File("config/Velmora/tessora")),
            "EEPROM_ADR=51\nreadsize_hi=01\nreadsize_lo=00\naddressing=02\nreadsize_auto=01\n"
            "device_iface=00\nwinusb_option=00\n");
}

// Two programs on one board: while this one holds the board for a procedure, the
// program run beside it touches nothing and says why.
TEST_F(ConsoleProgram, ASecondProgramLeavesABoardInUseAlone) {
  WriteFile(board + "/eeprom.bin", std::string(256, '\x42'));
  testing::RecordingOs os;
  Settings settings;
  std::string error;
  auto holder = SimulatedDeviceAccess::Open(board, settings, os, error);
  ASSERT_TRUE(holder) << error;
  ASSERT_TRUE(ConnectDevice(holder->Engine()));
  {
    ProcedureLock lock;
    ASSERT_EQ(lock.Take(os, holder->Engine()), LockOutcome::Taken);
    std::string traced = ReadFile(board + "/trace.log");
    for (const char* arguments : {"--clear", "--reboot rom", "-s x.hex"}) {
      ProgramRun second = Tessora(arguments);
      EXPECT_EQ(second.status, 1) << arguments;
      EXPECT_NE(second.out.find("Device in use by another Tessora."), std::string::npos) << second.out;
    }
    EXPECT_EQ(ReadFile(board + "/eeprom.bin"), std::string(256, '\x42'));
    std::string served = ReadFile(board + "/trace.log").substr(traced.size());
    EXPECT_EQ(served.find("write"), std::string::npos) << served;
  }
  // Released, the next program clears the board the holder sees at once.
  EXPECT_EQ(Tessora("--subaddressing 1 --address 151 --clear").status, 1);  // nobody at 0x15
  EXPECT_EQ(Tessora("--address 51 --clear -s").status, 0);
  EXPECT_EQ(ReadFile(board + "/eeprom.bin"), std::string(256, '\xFF'));
  EXPECT_EQ(Tessora("--reboot rom").status, 0);
  EXPECT_NE(ReadFile(board + "/trace.log").find("filterdriver reboot mode=rom"), std::string::npos);
  std::uint8_t byte = 0;
  const std::uint8_t start[2] = {0, 0};
  const std::uint8_t bus = settings.eepromAddress;
  ASSERT_EQ(ReadEepromBlock(holder->Engine(), bus, 2, start, 1, &byte), 0);
  EXPECT_EQ(byte, 0xFF);
}

}  // namespace
}  // namespace tessora
#endif

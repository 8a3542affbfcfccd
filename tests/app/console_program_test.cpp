// The Linux program itself, run as a user runs it.
#ifndef _WIN32
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <csignal>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/procedure_lock.h"
#include "app/program_devices.h"
#include "app/sha256.h"
#include "engine/connection.h"
#include "sim/board/board_directory.h"
#include "tests/support/recording_ui.h"
#include "tests/support/test_support.h"

namespace tessora {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

struct ProgramRun {
  int status;
  std::string out;
  std::string err;
};

std::string SerialOf(const std::string& directory) {
  std::string error;
  auto board = sim::BoardDirectory::Open(directory, error);
  return board ? board->Serial() : error;
}

std::string PortOf(const std::string& directory) {
  std::string error;
  auto board = sim::BoardDirectory::Open(directory, error);
  return board ? board->Port() : error;
}

// How a result line names the board.
std::string LabelOf(const std::string& directory) { return SerialOf(directory) + " (port " + PortOf(directory) + ")"; }

class ConsoleProgram : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directory(board); }

  std::string Command(const std::string& arguments) {
    // The program sits in bin/ beside the tests/ folder of the same build.
    std::string program = (fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "bin" / "tessora").string();
    return "XDG_CONFIG_HOME=" + dir.File("config") + " TESSORA_SIM=" + board + " " + program + " " + arguments;
  }
  ProgramRun Tessora(const std::string& arguments, const std::string& input = "/dev/null") {
    std::string command =
        Command(arguments) + " >" + dir.File("out") + " 2>" + dir.File("err") + " <" + input;
    int raw = std::system(command.c_str());
    return ProgramRun{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(dir.File("out")), ReadFile(dir.File("err"))};
  }
  // Both streams on one terminal, which script(1) gives the program; what the terminal shows.
  std::string OnTerminal(const std::string& arguments) {
    std::string command = "script -qec '" + Command(arguments) + "' /dev/null >" + dir.File("tty") + " 2>&1 </dev/null";
    std::system(command.c_str());
    return ReadFile(dir.File("tty"));
  }
  // The exit status of a run whose standard output is a pipe nobody reads any more.
  int StatusWithReaderGone(const std::string& arguments) {
    const std::string command = Command(arguments) + " 2>/dev/null";
    int ends[2];
    if (pipe(ends) != 0) return -1;
    close(ends[0]);
    pid_t child = fork();
    if (child == 0) {
      dup2(ends[1], STDOUT_FILENO);
      execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(ends[1]);
    int raw = 0;
    if (child < 0 || waitpid(child, &raw, 0) != child) return -1;
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  }
  std::string Example() const { return std::string(TESSORA_SOURCE_DIR) + "/examples/firmware.hex"; }

  test::TempDir dir;
  std::string board = dir.File("board");
};

std::size_t Occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST_F(ConsoleProgram, SilentUpdateThenReadOutGiveTheImageBack) {
  // A name longer than Windows' 260 characters is a name like any other here.
  fs::path deep = dir.Path() / std::string(200, 'd') / std::string(100, 'e');
  fs::create_directories(deep);
  fs::copy_file(Example(), deep / "firmware.hex");
  ProgramRun update = Tessora("-s " + (deep / "firmware.hex").string());
  EXPECT_EQ(update.status, 0);
  EXPECT_EQ(update.out, "Tessora - silent mode\nImage file: " + (deep / "firmware.hex").string() +
                            " (text image)\nFirmware update in progress...\npagesize 64\n"
                            "Firmware update successful.\nPlease re-plug the device.\n" +
                            LabelOf(board) + ": succeeded\n");
  EXPECT_EQ(update.err, "Exit code: 1\n");

  EXPECT_EQ(Tessora("--read-out " + dir.File("back.hex")).status, 0);
  std::string image = ReadFile(Example());
  EXPECT_EQ(ReadFile(dir.File("back.hex")), image.substr(image.find('\n') + 1));  // without its comment line

  // Standard output as a file name, and a file that cannot be made: a file problem, named.
  std::string piped = Command("--read-out /dev/stdout") + " | cat >" + dir.File("piped") + "; exit ${PIPESTATUS[0]}";
  EXPECT_EQ(std::system(("bash -c '" + piped + "'").c_str()), 0);
  EXPECT_EQ(ReadFile(dir.File("piped")), image.substr(image.find('\n') + 1));  // the image alone
  ProgramRun nowhere = Tessora("--json --read-out " + dir.File("no/such/back.hex"));
  EXPECT_EQ(nowhere.status, 4);
  EXPECT_NE(nowhere.out.find("\"outcome_code\":-3,"), std::string::npos) << nowhere.out;
  EXPECT_NE(nowhere.err.find("Cannot write the file (No such file or directory): " + dir.File("no/such/back.hex")),
            std::string::npos)
      << nowhere.err;
}

// A closed standard stream lends its number to no file the program opens, and a reader
// that goes away ends no run half-way.
TEST_F(ConsoleProgram, ClosedStreamsAndAGoneReaderLeaveBoardAndFilesRight) {
  EXPECT_EQ(std::system((Command("--debug -s " + Example()) + " 2>&- >/dev/null").c_str()), 0);
  EXPECT_EQ(Tessora("--verify " + Example()).status, 0);
  EXPECT_EQ(std::system((Command("--json --read-out " + dir.File("back.hex")) + " >&- 2>&-").c_str()), 0);
  std::string image = ReadFile(Example());
  EXPECT_EQ(ReadFile(dir.File("back.hex")), image.substr(image.find('\n') + 1));
  EXPECT_EQ(StatusWithReaderGone("--clear"), 0);
  EXPECT_TRUE(ReadFile(board + "/eeprom.bin") == std::string(16384, '\xFF'));
}

// A signal in the middle of an update or a clear stops it at the next page, with the
// header erased, said in words and in the JSON result, and the shell's status for it.
TEST_F(ConsoleProgram, ASignalStopsAtASafePointWithTheHeaderErased) {
  WriteFile(board + "/board.conf", "write_cycle_us = 100000\n");  // a page a tenth of a second: minutes in all
  std::string image = WriteFile(dir.File("big.hex"), test::ImageText(test::PatternBytes(16384)));
  const std::string log = " --log " + dir.File("log") + " ";
  const std::pair<std::string, int> runs[] = {{"--json" + log + "-s " + image, SIGINT},
                                              {"--json" + log + "--clear", SIGTERM}};
  for (const auto& [arguments, signal] : runs) {
    std::size_t before = ReadFile(board + "/trace.log").size();
    std::string command = "exec env " + Command(arguments) + " >" + dir.File("out") + " 2>" + dir.File("err");
    pid_t child = fork();
    if (child == 0) {
      execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    ASSERT_GT(child, 0);
    // Past the header's pages: the third write (the erase, the part probe or the clear's
    // second page, then a page of the body).
    int raw = 0;
    while (Occurrences(ReadFile(board + "/trace.log").substr(before), "bus-write") < 3 &&
           waitpid(child, &raw, WNOHANG) == 0)
      usleep(10000);
    kill(child, signal);
    ASSERT_EQ(waitpid(child, &raw, 0), child) << "it ended before the signal: " << ReadFile(dir.File("err"));
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 128 + signal) << arguments << " " << raw;
    EXPECT_NE(ReadFile(dir.File("out")).find("\"outcome_code\":-7,"), std::string::npos) << ReadFile(dir.File("out"));
    EXPECT_NE(ReadFile(dir.File("err")).find("Stopped: the header page is erased"), std::string::npos);
    EXPECT_EQ(ReadFile(board + "/eeprom.bin").substr(0, 64), std::string(64, '\xFF')) << arguments;
    EXPECT_LT(Occurrences(ReadFile(board + "/trace.log").substr(before), "bus-write"), 10u) << arguments;
  }
  EXPECT_EQ(Occurrences(ReadFile(dir.File("log")), "\"outcome_code\":-7,"), 2u) << ReadFile(dir.File("log"));
}

// The version names the commit it was built from: in a git checkout one git knows.
TEST_F(ConsoleProgram, VersionNamesTheCommitItWasBuiltFrom) {
  ProgramRun version = Tessora("--version");
  EXPECT_EQ(version.status, 0);
  const std::string prefix = "Tessora 1.2.1 (commit ";
  ASSERT_EQ(version.out.rfind(prefix, 0), 0u) << version.out;
  ASSERT_EQ(version.out.substr(version.out.size() - 2), ")\n") << version.out;
  std::string commit = version.out.substr(prefix.size(), version.out.size() - prefix.size() - 2);
  const std::string source = TESSORA_SOURCE_DIR;
  std::string git = "git -C " + source + " ";
  if (std::system(("test \"$(" + git + "rev-parse --show-toplevel 2>/dev/null)\" = " + source).c_str()) != 0) {
    EXPECT_EQ(commit, "unknown");
    return;
  }
  EXPECT_EQ(commit.find_first_not_of("0123456789abcdef"), std::string::npos) << commit;
  EXPECT_EQ(std::system((git + "cat-file -e " + commit + "^{commit} 2>/dev/null").c_str()), 0) << commit;
}

// Each cause its own exit status, as --help and the README give them.
TEST_F(ConsoleProgram, ExitStatusOfEachKindOfRun) {
  WriteFile(board + "/board.conf", "interfaces = filterdriver\ncorrupt_readback = 0x3000\n");
  WriteFile(dir.File("bad.hex"), "@0000 zz\n");
  const std::pair<std::string, int> runs[] = {
      {"-s " + Example(), 0}, {"--verify " + Example(), 0},
      {"--interface hid -s " + Example(), 3},  // no HID face: no device, and nothing saved
      {"--interface filterdriver " + dir.File("missing.hex"), 4}, {"--verify " + dir.File("bad.hex"), 4},
      {"--read-out " + dir.File("no/such.hex"), 4},
      {"--clear", 1},  // the clear's read-back finds the byte at 0x3000 wrong
      {"--verify " + Example(), 5}, {"--address 15 --clear", 1},  // the part just cleared; no EEPROM at 0x15
      {"--read-size 20000 --clear", 2}, {"--frobnicate", 2}, {"--clear " + Example(), 2},
      {"-s", 2}, {"-s ''", 2},  // no image named
      {"--address d1 --clear", 2}, {"--address zz --clear", 2},  // d1: 8 bits, another device on the bus
  };
  for (const auto& [arguments, status] : runs) EXPECT_EQ(Tessora(arguments).status, status) << arguments;
  EXPECT_EQ(ReadFile(dir.File("config/Velmora/tessora")),
            "EEPROM_ADR=51\nreadsize_hi=01\nreadsize_lo=00\naddressing=02\nreadsize_auto=01\n"
            "device_iface=00\nwinusb_option=00\n");
}

// A value is taken whole or refused, and after the options only -s and the image follow:
// each of these once wrote to the board or the settings, or was taken for an image file.
TEST_F(ConsoleProgram, BadValuesAndUnknownOptionsAreUsageErrors) {
  for (const char* arguments :
       {"--address 151 --clear", "--address 0x --clear", "--address 80 --clear", "--address 5g --clear",
        "--read-size 0 --read-out x.hex", "--read-size abc", "--read-size 12k --clear", "--read-size 16385 --clear",
        "-h", "-V", "-s --clear", "x.hex --json", "--station", "--station --clear", "--station --all x.hex"}) {
    ProgramRun run = Tessora(arguments);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_NE(run.err.find("Try 'tessora --help'."), std::string::npos) << arguments << run.err;
  }
  EXPECT_FALSE(fs::exists(board + "/trace.log"));
  EXPECT_FALSE(fs::exists(dir.File("config/Velmora/tessora")));
  for (const char* arguments : {"--address 0x51 --clear", "--address 51 --read-size 16384 --clear"})
    EXPECT_EQ(Tessora(arguments).status, 0) << arguments;
}

// Usage first, then the image, then the device: a missing image is said as such even where
// no board answers.
TEST_F(ConsoleProgram, TheImageIsCheckedBeforeTheDevice) {
  WriteFile(board + "/board.conf", "interfaces = none\n");
  std::string missing = dir.File("missing.hex");
  for (const char* options : {"", "-s ", "--verify ", "--all ", "--device QV000009 ", "--station "}) {
    ProgramRun run = Tessora(std::string("--json ") + options + missing);
    EXPECT_EQ(run.status, 4) << options;
    EXPECT_NE(run.out.find("\"outcome_code\":-3,"), std::string::npos) << options << run.out;
    EXPECT_NE(run.err.find(missing + " (text image): "), std::string::npos) << options << run.err;
  }
  EXPECT_EQ(Tessora("--json --frobnicate " + missing).status, 2);
}

// The settings options change the run they are given to; --save stores them, alone or
// with a command. The board answers over HID only; FilterDriver is the stored default.
TEST_F(ConsoleProgram, SettingsOptionsBelongToTheRunUnlessSaved) {
  WriteFile(board + "/board.conf", "interfaces = hid\n");
  const std::pair<const char*, int> runs[] = {
      {"--interface hid --clear", 0}, {"--clear", 3},  // no HID stored
      {"--save --interface hid", 0},  {"--clear", 0},
      {"--interface winusb --clear", 3}, {"--clear", 0},  // HID still stored
      {"--interface winusb", 2}, {"--save", 2}, {"--save --clear", 2},  // nothing to do, or nothing to store
  };
  for (const auto& [arguments, status] : runs) EXPECT_EQ(Tessora(arguments).status, status) << arguments;
}

// Two programs on one board: while this one holds the board for a procedure, the
// program run beside it touches nothing and says why.
// The holder reaches the board over HID, the programs over the FilterDriver; the board has
// no serial number, so only its port names it on both.
TEST_F(ConsoleProgram, ASecondProgramLeavesABoardInUseAlone) {
  WriteFile(board + "/eeprom.bin", std::string(256, '\x42'));
  WriteFile(board + "/board.conf", "serial = none\n");
  test::RecordingOs os;
  Settings settings;
  settings.useHid = 1;
  std::string error;
  auto holder = SimulatedDeviceAccess::Open(board, settings, os, error);
  ASSERT_TRUE(holder) << error;
  ASSERT_TRUE(ConnectDevice(holder->Engine()));
  {
    ProcedureLock lock;
    ASSERT_EQ(lock.Take(os, holder->Engine()), LockOutcome::Taken);
    std::string traced = ReadFile(board + "/trace.log");
    for (const std::string& arguments : {std::string("--clear"), std::string("--reboot rom"), "-s " + Example()}) {
      ProgramRun second = Tessora(arguments);
      EXPECT_EQ(second.status, 3) << arguments;
      EXPECT_EQ(Occurrences(second.out + second.err, "Device in use by another Tessora."), 1u) << second.out;
    }
    std::string served = ReadFile(board + "/trace.log").substr(traced.size());
    EXPECT_EQ(served.find("write"), std::string::npos) << served;
  }
  EXPECT_EQ(Tessora("--save --subaddressing 1 --address 15 --clear").status, 1);  // nobody at 0x15
  EXPECT_EQ(Tessora("--address 51 --clear -s").status, 0);  // the saved subaddressing, this run's address
  EXPECT_EQ(ReadFile(board + "/eeprom.bin"), std::string(256, '\xFF'));
  EXPECT_EQ(Tessora("--reboot rom").status, 0);
  EXPECT_NE(ReadFile(board + "/trace.log").find("filterdriver reboot mode=rom"), std::string::npos);
}

TEST_F(ConsoleProgram, FormatsVerifyAndUpdateOfChangedPages) {
  ASSERT_EQ(Tessora("--save --read-size 512 " + Example()).status, 0);
  ASSERT_EQ(Tessora("--format ihex --read-out " + dir.File("out.ihex")).status, 0);
  ASSERT_EQ(Tessora("--format bin --read-out " + dir.File("out.bin")).status, 0);
  EXPECT_EQ(ReadFile(dir.File("out.ihex")).substr(0, 9), ":10000000");
  EXPECT_EQ(ReadFile(dir.File("out.bin")), ReadFile(board + "/eeprom.bin").substr(0, 512));

  std::size_t writes = Occurrences(ReadFile(board + "/trace.log"), "bus-write");
  ProgramRun verify = Tessora("--verify " + dir.File("out.ihex"));  // told apart by content
  EXPECT_EQ(verify.status, 0);
  EXPECT_NE(verify.out.find("Compare successful"), std::string::npos);
  EXPECT_NE(verify.out.find("out.ihex (Intel HEX)"), std::string::npos) << verify.out;
  EXPECT_EQ(Tessora("--update-changed " + dir.File("out.bin")).status, 0);  // binary by its name
  EXPECT_EQ(Occurrences(ReadFile(board + "/trace.log"), "bus-write"), writes);  // the board held the image: only read

  std::string eeprom = ReadFile(board + "/eeprom.bin");
  eeprom[300] = static_cast<char>(eeprom[300] ^ 0x0F);
  eeprom[400] = static_cast<char>(eeprom[400] ^ 0x0F);
  WriteFile(board + "/eeprom.bin", eeprom);
  ProgramRun differs = Tessora("--json --verify " + dir.File("out.bin"));
  EXPECT_EQ(differs.status, 5);
  EXPECT_EQ(differs.out.find('\n'), differs.out.size() - 1);  // one line: the JSON object alone
  EXPECT_EQ(differs.out.rfind("{\"command\":\"verify\",\"device\":\"", 0), 0u) << differs.out;
  EXPECT_NE(differs.out.find("\"interface\":\"filterdriver\",\"outcome_code\":-6,"), std::string::npos);
  EXPECT_NE(differs.out.find(",\"format\":\"bin\","), std::string::npos) << differs.out;
  EXPECT_NE(differs.out.find(",\"tool_version\":\"1.2.1 (commit "), std::string::npos) << differs.out;
  char mismatch[128];
  std::snprintf(mismatch, sizeof mismatch, "\"first_mismatch\":{\"address\":300,\"expected\":%u,\"found\":%u,"
                "\"differing_bytes\":2}}\n", static_cast<unsigned char>(eeprom[300] ^ 0x0F),
                static_cast<unsigned char>(eeprom[300]));
  EXPECT_NE(differs.out.find(mismatch), std::string::npos) << differs.out;
  EXPECT_NE(differs.err.find("first at 0x012c: expected"), std::string::npos);
}

// A read-out writes the format its file name says unless --format says otherwise; "-" is
// standard output for a read-out and standard input for the image an update or verify reads.
TEST_F(ConsoleProgram, ReadOutFormatByNameAndDashForTheStandardStreams) {
  ASSERT_EQ(Tessora("-s -", Example()).status, 0);
  const std::string image = ReadFile(Example());
  const std::string text = image.substr(image.find('\n') + 1);
  const std::string raw = ReadFile(board + "/eeprom.bin").substr(0, 512);
  const std::string ihex = ":10000000C23E9A02";
  const std::pair<std::string, std::string> cases[] = {
      {"out.bin", raw}, {"OUT.BIN", raw}, {"out.ihex", ihex}, {"out.ihx", ihex}, {"out.hex", text},
      {"out.txt", text}, {"--format text out.bin", text}, {"--format bin out.hex", raw},
  };
  for (const auto& [file, content] : cases) {
    std::string name = file.substr(file.rfind(' ') + 1);
    fs::remove(dir.File(name));
    ASSERT_EQ(Tessora(file.substr(0, file.size() - name.size()) + "--read-out " + dir.File(name)).status, 0) << file;
    EXPECT_EQ(ReadFile(dir.File(name)).substr(0, content.size()), content) << file;
  }
  ProgramRun toStdout = Tessora("--read-out -");
  EXPECT_EQ(toStdout.status, 0);
  EXPECT_EQ(toStdout.out, text);  // the image alone
  ProgramRun fromStdin = Tessora("--verify -", Example());
  EXPECT_EQ(fromStdin.status, 0);
  EXPECT_NE(fromStdin.out.find("Image file: standard input (text image)"), std::string::npos) << fromStdin.out;
  EXPECT_EQ(Tessora("--verify -", dir.File("out.ihex")).status, 0);  // Intel HEX by its content
}

// Each run says what it did: a changed-pages update that had nothing to change, the
// reboot, the listing with its header, a file the system would not open, a count of one,
// and, last, a listing that finds nothing, on standard error and with a status of its own.
TEST_F(ConsoleProgram, MessagesSayWhatHappened) {
  ASSERT_EQ(Tessora("-s " + Example()).status, 0);
  WriteFile(dir.File("one.hex"), "@0000 00\n");  // the board holds 0xc2 there
  struct {
    std::string arguments;
    int status;
    bool onStderr;
    std::string says;
  } cases[] = {
      {"--update-changed " + Example(), 0, false, "\nNothing written: the board already holds the image.\n"},
      {"--reboot eeprom", 0, false, "Reboot requested: the controller restarts from the EEPROM.\n"},
      {"--list", 0, false, "INTERFACE    PATH VID:PID PRODUCT SERIAL INSTANCE-ID ACCESS [CANDIDATE]\nhid "},
      {"--verify " + dir.File("one.hex"), 5, true, "differs from the image in 1 byte; first at 0x0000"},
      {"--verify " + dir.File("none.hex"), 4, true, "none.hex (text image): cannot be read (No such file or directory)"},
  };
  for (const auto& c : cases) {
    ProgramRun run = Tessora(c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments;
    EXPECT_NE((c.onStderr ? run.err : run.out).find(c.says), std::string::npos) << c.arguments << run.out << run.err;
  }
  WriteFile(board + "/board.conf", "interfaces = none\n");
  ProgramRun nothing = Tessora("--list");
  EXPECT_EQ(nothing.status, 3);
  EXPECT_EQ(nothing.out, "");
  EXPECT_NE(nothing.err.find("no device interface found"), std::string::npos) << nothing.err;
}

TEST_F(ConsoleProgram, BadImagesAreRefusedBeforeAnythingIsWritten) {
  struct {
    std::string name;
    std::string content;
    std::string options;
    std::string reason;
  } cases[] = {
      {"sum.ihex", ":020010001122BC\n:00000001FF\n", "", "line 1: the record's checksum does not match"},
      {"far.ihex", ":020000040001F9\n:020010001122BB\n:00000001FF\n", "", "beyond the EEPROM"},
      {"twice.ihex", ":020010001122BB\n:01001100EE00\n:00000001FF\n", "", "line 2 gives address 0x0011"},
      {"big.bin", std::string(16385, '\x01'), "--format bin ", "beyond the EEPROM"},
      {"far.hex", "@3fff 01 02\n", "", "at or above 0x4000, beyond the EEPROM"},
      // Text with a stray byte was once taken for a binary image and its characters flashed.
      {"dos.hex", "@0000 01 02\n\x1a", "", "line 2 holds the control byte 0x1a"},
      {"esc.hex", "// \x1b[1mbold\x1b[0m\n@0000 01\n", "", "line 1 holds the control byte 0x1b"},
      {"nul.ihex", std::string(":00000001FF\n\0", 13), "", "line 2 holds the control byte 0x00"},
      {"wide.hex", std::string("\xff\xfe@\0" "0\0 \0" "1\0", 10), "", "UTF-16"},
      {"wide.bin", std::string("\xff\xfe@\0", 4), "--format text ", "UTF-16"},
  };
  for (const auto& c : cases) {
    WriteFile(dir.File(c.name), c.content);
    ProgramRun run = Tessora("--json " + c.options + dir.File(c.name));
    EXPECT_EQ(run.status, 4) << c.name;
    EXPECT_NE(run.out.find("\"outcome_code\":-3,"), std::string::npos) << c.name;
    EXPECT_NE(run.err.find(c.reason), std::string::npos) << c.name << run.err;
    EXPECT_EQ(Occurrences(ReadFile(board + "/trace.log"), "bus-write"), 0u) << c.name;
  }
  EXPECT_EQ(Tessora("--update-changed --clear").status, 2);
  std::string kept = board;
  board = dir.File("not-a-board");
  WriteFile(board, "a file, not a board directory");
  EXPECT_EQ(Tessora("--clear").status, 1);
  board = kept;
}

// Wherever the two streams end (a terminal, one file, a pipe, two files), each line once;
// an error on standard error alone; -s keeps its "Exit code" line, --quiet leaves the
// errors alone.
TEST_F(ConsoleProgram, EachLineOnceWhereverTheStreamsEnd) {
  WriteFile(dir.File("one.hex"), "@0000 00\n");
  struct {
    std::string arguments;
    int status;
    std::string says;
    std::size_t lines;
    std::size_t exitCodeLines;
  } cases[] = {
      {"-s " + Example(), 0, "Firmware update successful.", 1, 1},
      {Example(), 0, "Firmware update successful.", 1, 0},
      {"--debug -s " + Example(), 0, "Firmware update successful.", 2, 1},
      {"-q -s " + Example(), 0, "Firmware update successful.", 0, 0},
      {"--verify " + dir.File("one.hex"), 5, "differs from the image in 1 byte", 1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    std::string screen = OnTerminal(c.arguments);
    int status = std::system((Command(c.arguments) + " >" + dir.File("log") + " 2>&1").c_str());
    EXPECT_EQ(WEXITSTATUS(status), c.status);
    std::system((Command(c.arguments) + " 2>&1 | cat >" + dir.File("piped")).c_str());
    ProgramRun apart = Tessora(c.arguments);
    const std::string log = ReadFile(dir.File("log")), piped = ReadFile(dir.File("piped"));
    for (const std::string& shown : {screen, log, piped, apart.out + apart.err}) {
      EXPECT_EQ(Occurrences(shown, c.says), c.lines) << shown;
      EXPECT_EQ(Occurrences(shown, "Exit code: "), c.exitCodeLines) << shown;
    }
    if (c.status != 0) {
      EXPECT_EQ(Occurrences(apart.err, c.says), 1u) << apart.err;
    }
  }
  ProgramRun quiet = Tessora("-q --verify " + dir.File("none.hex"));
  EXPECT_EQ(quiet.status, 4);
  EXPECT_EQ(quiet.out, "");
  EXPECT_NE(quiet.err.find("none.hex"), std::string::npos) << quiet.err;
}

// With --json exactly one object on standard output however the run ends, each naming the
// board and the image; --list --json one array.
TEST_F(ConsoleProgram, OneJsonObjectHoweverTheRunEnds) {
  ASSERT_EQ(Tessora("-s " + Example()).status, 0);
  std::string sister = dir.File("sister");
  fs::create_directory(sister);
  struct {
    std::string boards;
    std::string arguments;
    int status;
    std::string holds;
  } cases[] = {
      {board, "--verify " + Example(), 0,
       "\"serial\":\"" + SerialOf(board) + "\",\"port\":\"" + PortOf(board) +
           "\",\"interface\":\"filterdriver\",\"outcome_code\":1,"},
      {board, "--verify " + Example(), 0, "\"image_sha256\":\"" + Sha256Hex(ReadFile(Example())) + "\","},
      {board, "--bogus", 2, "{\"command\":null,\"device\":null,"},
      {board, "--device NOSUCH --clear", 3, "\"command\":\"clear\",\"device\":null,"},
      {board + ":" + sister, "--clear", 2, "\"outcome_code\":null,\"outcome_text\":\"2 controllers on the"},
      {dir.File("none"), "--all --clear", 3, "\"outcome_code\":-1,\"outcome_text\":\"no controller answers"},
  };
  fs::create_directory(dir.File("none"));
  WriteFile(dir.File("none/board.conf"), "interfaces = none\n");
  const std::string kept = board;
  for (const auto& c : cases) {
    board = c.boards;
    ProgramRun run = Tessora("--json " + c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments;
    EXPECT_EQ(Occurrences(run.out, "\n"), 1u) << run.out;
    EXPECT_EQ(run.out.rfind("{\"command\":", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("\"exit_status\":" + std::to_string(c.status) + ",\"tool_version\":\""), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find(c.holds), std::string::npos) << c.arguments << "\n" << run.out;
  }
  board = kept;
  ProgramRun readOut = Tessora("--json --read-out " + dir.File("back.bin"));
  EXPECT_NE(readOut.out.find("\"format\":\"bin\",\"image\":\"" + dir.File("back.bin") + "\",\"image_sha256\":\"" +
                             Sha256Hex(ReadFile(dir.File("back.bin"))) + "\""),
            std::string::npos)
      << readOut.out;
  ProgramRun list = Tessora("--list --json");
  EXPECT_EQ(list.out.rfind("[{\"interface\":\"hid\",", 0), 0u) << list.out;
  EXPECT_EQ(Occurrences(list.out, "\"port\":\"" + PortOf(board) + "\""), 3u) << list.out;
  board = dir.File("none");
  EXPECT_EQ(Tessora("--list --json").out, "[]\n");
}

// --log: a line for every board of every run, whole however many programs append at once,
// failed runs included, each with when, where, what and on which board.
TEST_F(ConsoleProgram, TheLogKeepsALineForEveryBoardOfEveryRun) {
  std::string bench;
  for (const char* name : {"l1", "l2", "l3"}) {
    fs::create_directory(dir.File(name));
    bench += (bench.empty() ? "" : ":") + dir.File(name);
  }
  board = bench;
  const std::string log = dir.File("shared.log");
  const std::string each = " --log " + log + " ";
  std::string runs;
  for (const std::string& arguments : {"--all" + each + Example(), "--all" + each + "--verify " + Example(),
                                       "--device " + SerialOf(dir.File("l1")) + each + "--verify none.hex"})
    runs += Command(arguments) + " >/dev/null 2>&1 & ";
  std::system((runs + "wait").c_str());
  std::string lines = ReadFile(log);
  EXPECT_EQ(Occurrences(lines, "\n"), 7u) << lines;
  EXPECT_EQ(Occurrences(lines, "{\"time\":\"20"), 7u) << lines;
  EXPECT_EQ(Occurrences(lines, "\"first_mismatch\":"), 7u) << lines;
  EXPECT_EQ(Occurrences(lines, "\"command\":\"update\""), 3u) << lines;
  EXPECT_EQ(Occurrences(lines, "\"image\":\"none.hex\""), 1u) << lines;

  fs::remove(log);
  ASSERT_EQ(Tessora("--device " + SerialOf(dir.File("l2")) + each + Example()).status, 0);
  ASSERT_EQ(Tessora("--device " + SerialOf(dir.File("l2")) + each + "--update-changed " + Example()).status, 0);
  lines = ReadFile(log);
  EXPECT_NE(lines.find("\"serial\":\"" + SerialOf(dir.File("l2")) + "\",\"port\":\"" + PortOf(dir.File("l2")) + "\""),
            std::string::npos)
      << lines;
  EXPECT_NE(lines.find("\"image\":\"" + Example() + "\",\"image_sha256\":\"" + Sha256Hex(ReadFile(Example())) +
                       "\",\"bytes\":512,\"pages\":8,\"pages_skipped\":0,"),
            std::string::npos)
      << lines;
  EXPECT_NE(lines.find("\"pages\":0,\"pages_skipped\":8,"), std::string::npos) << lines;
  EXPECT_EQ(Tessora("--log " + dir.File("no/such/dir.log") + " --clear").status, 2);
}

// On a terminal each board has a progress line of its own while it runs, and one result line.
TEST_F(ConsoleProgram, EveryBoardShowsItsProgressOnATerminal) {
  board.clear();
  for (const char* name : {"p1", "p2"}) {
    fs::create_directory(dir.File(name));
    board += (board.empty() ? "" : ":") + dir.File(name);
  }
  std::string screen = OnTerminal("--all --clear");
  for (const char* name : {"p1", "p2"}) {
    EXPECT_NE(screen.find(SerialOf(dir.File(name)) + " ["), std::string::npos) << screen;
    EXPECT_EQ(Occurrences(screen, LabelOf(dir.File(name)) + ": succeeded"), 1u) << screen;
  }
}

// A bench of four boards: the third reads one byte back wrong, the fourth stops answering
// at once (on the driver interfaces, before the connection).
TEST_F(ConsoleProgram, EveryBoardAtOnceAndOneChosenBoardOnEachInterface) {
  std::vector<std::string> serials;
  std::string bench;
  for (const char* name : {"b1", "b2", "b3", "b4"}) {
    fs::create_directory(dir.File(name));
    serials.push_back(SerialOf(dir.File(name)));
    bench += (bench.empty() ? "" : ":") + dir.File(name);
  }
  WriteFile(dir.File("b3/board.conf"), "corrupt_readback = 0x10\n");
  WriteFile(dir.File("b4/board.conf"), "fail_after = 0\n");
  board = bench;
  const std::string blank(16384, '\xFF');
  for (const char* face : {"hid", "filterdriver", "winusb"}) {
    SCOPED_TRACE(face);
    for (const char* name : {"b1", "b2", "b3"}) WriteFile(dir.File(name) + "/eeprom.bin", blank);
    ProgramRun all = Tessora(std::string("--save --interface ") + face + " --all " + Example());
    EXPECT_EQ(all.status, 1);
    for (const std::string& line :
         {LabelOf(dir.File("b1")) + ": succeeded (Firmware update successful. Please re-plug the device.)\n",
          LabelOf(dir.File("b2")) + ": succeeded",
          LabelOf(dir.File("b3")) + ": FAILED (Could not program Firmware Image.)\n",
          LabelOf(dir.File("b4")) + ": FAILED (", std::string("\n2 of 4 boards succeeded\n")})
      EXPECT_NE(all.out.find(line), std::string::npos) << all.out;

    ProgramRun chosen = Tessora("--device " + serials[1] + " --clear");
    EXPECT_EQ(chosen.status, 0);
    EXPECT_EQ(ReadFile(dir.File("b2/eeprom.bin")), blank);
    EXPECT_NE(ReadFile(dir.File("b1/eeprom.bin")), blank);
  }
  // With --json an object for every board, the silent one named by its device too.
  ProgramRun json = Tessora("--json --all --verify " + Example());
  EXPECT_EQ(Occurrences(json.out, "{\"command\":\"verify\",\"device\":\"\\\\"), 4u) << json.out;
  fs::remove(dir.File("b4/board.conf"));
  EXPECT_EQ(Tessora("--read-size 64 --all --read-out " + dir.File("out.hex")).status, 0);
  EXPECT_NE(ReadFile(dir.File("out-" + serials[0] + ".hex")), ReadFile(dir.File("out-" + serials[1] + ".hex")));

  // Without --device or --all, several controllers are a question, not a guess.
  ProgramRun unnamed = Tessora("--clear");
  EXPECT_EQ(unnamed.status, 2);
  EXPECT_NE(unnamed.err.find("4 controllers on the WinUSB interface: name one with --device"), std::string::npos)
      << unnamed.err;
  EXPECT_EQ(Occurrences(unnamed.err, "  --device \\\\?\\usb#"), 4u) << unnamed.err;
  ProgramRun absent = Tessora("--device QV000009 --clear");
  EXPECT_EQ(absent.status, 3);
  EXPECT_NE(absent.err.find("no device \"QV000009\" on the WinUSB interface"), std::string::npos);
  for (const char* usage : {"--all", "--all --device QV000001 --clear", "--all --list"})
    EXPECT_EQ(Tessora(usage).status, 2) << usage;
}

}  // namespace
}  // namespace tessora
#endif

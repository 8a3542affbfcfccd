// tessora --station on a simulated bench, run as a production line runs it: boards plugged
// in and out by their `unplugged` files while it waits, and ended by signals.
#ifndef _WIN32
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "sim/board/board_directory.h"
#include "tests/support/started_program.h"
#include "tests/support/test_support.h"

namespace tessora {
namespace {

namespace fs = std::filesystem;
using test::Occurrences;
using test::ReadFile;
using test::WriteFile;

// A bench of three boards, a to c, and the station started on it; what it writes is
// watched in its files, as an operator watches the screen.
class StationProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const std::string& board : boards) fs::create_directory(board);
  }

  void Start(const std::string& arguments) {
    std::string program = (fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "bin" / "tessora").string();
    station = std::make_unique<test::StartedProgram>(
        "exec env XDG_CONFIG_HOME=" + dir.File("config") + " TESSORA_SIM=" + boards[0] + ":" + boards[1] + ":" +
        boards[2] + " " + program + " --debug " + arguments + " >" + dir.File("out") + " 2>" + dir.File("err") +
        " </dev/null");
  }
  void AwaitOnErr(const std::string& text, std::size_t count = 1) {
    ASSERT_TRUE(station->Await(dir.File("err"), text, count)) << ReadFile(dir.File("err"));
  }
  std::string Label(std::size_t i) const {
    std::string error;
    auto board = sim::BoardDirectory::Open(boards[i], error);
    return board ? board->Serial() + " (port " + board->Port() + ")" : error;
  }
  void Unplug(std::size_t i) { WriteFile(boards[i] + "/unplugged", ""); }
  void Plug(std::size_t i) { fs::remove(boards[i] + "/unplugged"); }
  std::string Example() const { return std::string(TESSORA_SOURCE_DIR) + "/examples/firmware.hex"; }

  test::TempDir dir;
  const std::vector<std::string> boards = {dir.File("a"), dir.File("b"), dir.File("c")};
  std::unique_ptr<test::StartedProgram> station;
};

// Boards there at the start and boards plugged in later are each updated once while they
// stay plugged in, again once replugged; every board has its line and its records.
TEST_F(StationProgram, EachBoardOncePerPlugging) {
  Unplug(2);
  Start("--json --log " + dir.File("log") + " --station " + Example());
  AwaitOnErr(": succeeded", 2);
  EXPECT_EQ(ReadFile(boards[2] + "/trace.log"), "");  // not plugged in: never asked
  Plug(2);
  AwaitOnErr(Label(2) + ": succeeded");
  // b unplugged and plugged in again: the station lists the bench each time and takes b
  // alone, a and c having stayed where they were.
  Unplug(1);
  AwaitOnErr("Station: " + Label(1) + " is gone");
  Plug(1);
  AwaitOnErr(Label(1) + ": succeeded", 2);
  station->Send(SIGINT);
  EXPECT_EQ(station->Status(), 0);
  const std::size_t writesPerUpdate = Occurrences(ReadFile(boards[0] + "/trace.log"), "bus-write");
  EXPECT_GT(writesPerUpdate, 0u);
  EXPECT_EQ(Occurrences(ReadFile(boards[1] + "/trace.log"), "bus-write"), 2 * writesPerUpdate);
  EXPECT_EQ(Occurrences(ReadFile(boards[2] + "/trace.log"), "bus-write"), writesPerUpdate);
  std::string err = ReadFile(dir.File("err"));
  EXPECT_NE(err.find("\nStation: 4 passed, 0 failed, "), std::string::npos) << err;
  for (const std::string& records : {ReadFile(dir.File("out")), ReadFile(dir.File("log"))}) {
    EXPECT_EQ(Occurrences(records, "\"command\":\"update\","), 4u) << records;
    EXPECT_EQ(Occurrences(records, "\"outcome_code\":1,"), 4u) << records;
    for (std::size_t i = 0; i < boards.size(); ++i)
      EXPECT_EQ(Occurrences(records, Label(i).substr(0, Label(i).find(' '))), i == 1 ? 2u : 1u) << records;
  }
}

// A board in the middle of its update when the station is signalled or the board is
// unplugged: what becomes of the board, and the station's exit status.
TEST_F(StationProgram, SignalsDrainOrStopAndAnUnpluggedBoardFails) {
  struct Case {
    const char* name;
    std::vector<int> signals;  // in turn, each once the station has seen the one before
    bool unplug;               // unplugged while it runs (then SIGINT)
    int status;
    int outcome;
    const char* summary;
  };
  const Case cases[] = {
      {"one SIGINT lets it finish", {SIGINT}, false, 0, 1, "1 passed, 0 failed"},
      {"a second signal stops it", {SIGINT, SIGTERM}, false, 143, -7, "0 passed, 1 failed"},
      {"unplugged while it runs", {SIGINT}, true, 1, -5, "0 passed, 1 failed"},
  };
  Unplug(1);
  Unplug(2);
  // 64 pages, each a twentieth of a second: the update lasts seconds, time enough for both signals.
  WriteFile(boards[0] + "/board.conf", "write_cycle_us = 50000\n");
  const std::vector<std::uint8_t> bytes = test::PatternBytes(4096);
  const std::string image = WriteFile(dir.File("image.hex"), test::ImageText(bytes));
  for (const Case& run : cases) {
    SCOPED_TRACE(run.name);
    Plug(0);
    WriteFile(boards[0] + "/eeprom.bin", std::string(16384, '\0'));
    WriteFile(boards[0] + "/trace.log", "");
    Start("--json --station " + image);
    // Past the header's erase and the part probe: a page of the body is being written.
    ASSERT_TRUE(station->Await(boards[0] + "/trace.log", "bus-write", 3));
    if (run.unplug) {
      Unplug(0);
      AwaitOnErr(": FAILED");
    }
    for (std::size_t i = 0; i < run.signals.size(); ++i) {
      if (i > 0) AwaitOnErr("Station: no new board");
      station->Send(run.signals[i]);
    }
    EXPECT_EQ(station->Status(), run.status);
    std::string out = ReadFile(dir.File("out")), err = ReadFile(dir.File("err"));
    EXPECT_EQ(Occurrences(out, "\"outcome_code\":" + std::to_string(run.outcome) + ","), 1u) << out;
    EXPECT_NE(err.find("\nStation: " + std::string(run.summary) + ", "), std::string::npos) << err;
    // A board that did not finish has its header page erased, so it starts from its ROM.
    std::string header = ReadFile(boards[0] + "/eeprom.bin").substr(0, 64);
    EXPECT_EQ(header, run.outcome == 1 ? std::string(bytes.begin(), bytes.begin() + 64) : std::string(64, '\xFF'));
  }
}

}  // namespace
}  // namespace tessora
#endif

#include "sim/board/sim_board.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "sim/board/board_directory.h"
#include "sim/board/board_timing.h"
#include "sim/board/hid_face.h"
#include "tests/support/recording_os.h"
#include "tests/support/test_support.h"

namespace tessora::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Eeprom, PageWritesWrapInsideTheirPageAndReadsRollOver) {
  Eeprom part(Bytes(16384, 0xFF));
  part.Write(Bytes{0x00, 0x3E}, Bytes(4, 0xAB));  // 0x3E, 0x3F, then back to 0x00, 0x01
  EXPECT_EQ(part.Contents()[0x40], 0xFF);
  EXPECT_EQ(part.Contents()[0x00], 0xAB);
  EXPECT_EQ(part.Read(Bytes{0x3F, 0xFF}, 2), (Bytes{0xFF, 0xAB}));

  Eeprom small(Bytes(256, 0x00));
  EXPECT_TRUE(small.AcceptsRead(Bytes{0x00, 0x10}));  // the probe's 2-byte subaddress
  EXPECT_FALSE(small.AcceptsWrite(Bytes{0x00, 0x10}));
  EXPECT_FALSE(part.AcceptsRead(Bytes{0x10}));

  Eeprom sixteen(Bytes(256, 0xFF), 16);
  sixteen.Write(Bytes{0x1E}, Bytes{1, 2, 3});
  EXPECT_EQ(sixteen.Contents()[0x10], 3);  // back to the start of its 16-byte page
  EXPECT_EQ(sixteen.Contents()[0x20], 0xFF);
}

TEST(BoardConfig, ParsesKeysAndRejectsWhatItDoesNotKnow) {
  BoardConfig config;
  std::string error;
  ASSERT_TRUE(ParseBoardConfig("# test board\ninterfaces = hid winusb\neeprom_address = 0x50  # moved\n"
                               "fail_after = 12\nbusy_polls = stuck\ndone_status = 0xff\nstatus_read_fails = 2\n"
                               "open_fails = yes\nlatency_us = 1\nwrite_cycle_us = 2\nbus_khz = 3\npage_size = 8\n"
                               "serial = QV-0123456789ABCDEFGHIJK\nport = 12-1.4.255\n\n",
                               config, error))
      << error;
  EXPECT_TRUE(config.hid && config.winUsb && !config.filterDriver && config.openFails);
  EXPECT_EQ(config.failAfter, 12u);
  EXPECT_EQ(config.busyPolls, -1);
  EXPECT_EQ(config.serial, "QV-0123456789ABCDEFGHIJK");
  EXPECT_EQ(config.port, "12-1.4.255");
  ASSERT_TRUE(ParseBoardConfig("serial = none\nport = 1-1.2.3.4.5.6\n", config, error)) << error;
  EXPECT_EQ(config.serial, "");
  EXPECT_EQ(std::vector<std::uint32_t>({config.eepromAddress, config.doneStatus, config.statusReadFails,
                                        config.latencyUs, config.writeCycleUs, config.busKhz, config.pageSize}),
            std::vector<std::uint32_t>({0x50, 0xFF, 2, 1, 2, 3, 8}));
  for (const char* bad : {"eeprom_adress = 0x50\n", "eeprom_address = 0x80\n", "write_limit = 12x\n",
                          "interfaces = usb\n", "just words\n", "open_fails = maybe\n", "bus_khz = 0\n",
                          "latency_us = 2000000\n", "page_size = 24\n", "page_size = 512\n",
                          "write_cycle_us = -5\n", "done_status = 0x100\n", "serial =\n", "serial = QV 01\n",
                          "serial = QV,01\n", "serial = QV\\01\n", "port = 1\n", "port = 1-\n",
                          "port = 1-0\n", "port = 1-01\n", "port = 1-256\n", "port = 0-1\n", "port = 1-1..2\n",
                          "port = 1-1.2.3.4.5.6.7\n", "port = usb1\n"})
    EXPECT_FALSE(ParseBoardConfig(bad, config, error)) << bad;
  EXPECT_NE(error.find("'usb1' for port (BUS-PORT as in 1-1.4"), std::string::npos) << error;
  EXPECT_FALSE(ParseBoardConfig("serial = " + std::string(127, 'S') + "\n", config, error));
  EXPECT_TRUE(ParseBoardConfig("serial = " + std::string(126, 'S') + "\n", config, error)) << error;
}

TEST(BoardDirectory, ProgramsSharingTheDirectoryShareOnePart) {
  test::TempDir dir;
  std::string error;
  auto first = BoardDirectory::Open(dir.Path().string(), error);
  ASSERT_TRUE(first) << error;
  EXPECT_EQ(test::ReadFile(dir.File("eeprom.bin")), std::string(16384, '\xFF'));
  auto second = BoardDirectory::Open(dir.Path().string(), error);
  ASSERT_TRUE(second) << error;
  EXPECT_EQ(first->Serial(), second->Serial());
  EXPECT_EQ(first->Port(), second->Port());

  // What one writes, the other reads, and the file holds at once.
  first->Board().BusTransfer(Face::Hid, 0xA2, Bytes{0, 1}, Bytes{0x42}, 0);
  EXPECT_EQ(second->Board().BusTransfer(Face::Hid, 0xA3, Bytes{0, 0}, {}, 2).data, (Bytes{0xFF, 0x42}));
  second->Board().BusTransfer(Face::Hid, 0xA2, Bytes{0, 2}, Bytes{0x43}, 0);
  first->Board().BusTransfer(Face::Hid, 0xA2, Bytes{0, 0}, Bytes{0x41}, 0);
  EXPECT_EQ(test::ReadFile(dir.File("eeprom.bin")).substr(0, 4), "\x41\x42\x43\xFF");
  EXPECT_EQ(test::ReadFile(dir.File("trace.log")).rfind("hid bus-write dev=51 sub=0001 len=1 data=42 result=ok\n", 0),
            0u);

  test::TempDir other;
  auto otherBoard = BoardDirectory::Open(other.Path().string(), error);
  EXPECT_NE(otherBoard->Serial(), first->Serial());
  EXPECT_NE(otherBoard->Port(), first->Port());
  BoardConfig parsed;
  EXPECT_TRUE(ParseBoardConfig("port = " + first->Port() + "\n", parsed, error)) << first->Port();
  test::WriteFile(other.File("board.conf"), "serial = none\nport = 3-2.1\n");
  otherBoard = BoardDirectory::Open(other.Path().string(), error);
  EXPECT_EQ(otherBoard->Serial() + " " + otherBoard->Port(), " 3-2.1");
  // With cpu_log each run of a program leaves the CPU time the board's requests took.
  test::WriteFile(other.File("board.conf"), "cpu_log = yes\n");
  for (int run = 0; run < 2; ++run) {
    test::RecordingOs os;
    auto metered = BoardDirectory::Open(other.Path().string(), error);
    metered->Board().MeterCpu(os);
    metered->Board().BusTransfer(Face::Hid, 0xA3, Bytes{0, 0}, {}, 2);
  }
  std::string log = test::ReadFile(other.File("cpu.log"));
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2);
  EXPECT_EQ(log.find_first_not_of("0123456789\n"), std::string::npos) << log;
  test::WriteFile(dir.File("eeprom.bin"), std::string(256, '\0'));
  EXPECT_EQ(BoardDirectory::Open(dir.Path().string(), error)->Board().EepromPart().AddressBytes(), 1);
  test::WriteFile(dir.File("board.conf"), "colour = green\n");
  EXPECT_FALSE(BoardDirectory::Open(dir.Path().string(), error));
  EXPECT_FALSE(BoardDirectory::Open(dir.File("missing"), error));
}

TEST(BoardTiming, BusBitsAtTheConfiguredClock) {
  BoardConfig config;  // 400 kHz: 2.5 us a bit
  EXPECT_EQ(BusMicroseconds(config, {false, 2, 64, true}), 1513u);  // 1 + 9 x 67 + 1 bits
  EXPECT_EQ(BusMicroseconds(config, {true, 2, 64, true}), 1538u);   // and a repeated start with the address
  EXPECT_EQ(BusMicroseconds(config, {true, 0, 1, true}), 50u);
  EXPECT_EQ(BusMicroseconds(config, {false, 2, 64, false}), 28u);   // nobody acknowledged the address
  config.busKhz = 100;
  EXPECT_EQ(BusMicroseconds(config, {true, 0, 1, true}), 200u);
}

// A request's time runs from its arrival: what the simulation does before the board
// answers (its file, its trace) takes none of it. Without an arrival it runs from the call.
TEST(BoardTiming, ARequestCountsFromItsArrival) {
  test::RecordingOs clock;
  BoardConfig config;
  BoardTiming timing(config);
  timing.SetClock(clock);
  timing.Arrive();
  clock.SleepUntilMicroseconds(100);
  timing.Request();
  EXPECT_EQ(clock.MicrosecondCount(), 250u);
  timing.Arrive();
  clock.SleepUntilMicroseconds(400);
  timing.StartBusCommand({false, 2, 64, true});
  EXPECT_EQ(clock.MicrosecondCount(), 500u);
  EXPECT_EQ(timing.CommandDoneAt(), 500u + 1513u + 5000u);
  timing.Request();
  EXPECT_EQ(clock.MicrosecondCount(), 750u);
}

class TimedBoard : public ::testing::Test {
 protected:
  TimedBoard() : board(BoardConfig{}, std::vector<std::uint8_t>(16384, 0xFF)) { board.KeepTime(clock); }

  std::uint64_t Now() { return clock.MicrosecondCount(); }

  test::RecordingOs clock;
  SimBoard board;
};

TEST_F(TimedBoard, HidRequestsTakeLatencyBusAndWriteCycle) {
  std::vector<std::uint8_t> page(64, 0x11);
  board.BusTransfer(Face::Hid, 0xA2, std::vector<std::uint8_t>{0, 0}, page, 0);
  EXPECT_EQ(Now(), 250u + 1513u);
  board.BusTransfer(Face::Hid, 0xA3, std::vector<std::uint8_t>{0, 0}, {}, 64);
  EXPECT_EQ(Now(), 250u + 1513u + 5000u + 1538u);
  board.UsbRequest();
  EXPECT_EQ(Now(), 250u + 1513u + 5000u + 1538u + 250u);
  EXPECT_EQ(clock.SleepCount(), 0u);  // the board's time is not the host's pauses
  EXPECT_EQ(board.UsbRequests(), 3u);
}

TEST_F(TimedBoard, DriverStatusReadsBusyThroughTheWriteCycle) {
  std::vector<std::uint8_t> write = {0xA2, 0x00, 0x40, 0x02, 0x00, 0x00, 0xFF, 0xFF};
  write.resize(8 + 64, 0x22);
  ASSERT_TRUE(board.BusCommand(Face::WinUsb, write));
  EXPECT_EQ(Now(), 250u);
  int busy = 0;
  while (board.BusStatus() == 0x00) ++busy;
  EXPECT_EQ(busy, 26);  // done at 250 + 1513 + 5000: the 27th status answers at 7000
  EXPECT_EQ(Now(), 7000u);

  std::vector<std::uint8_t> read = {0xA3, 0x00, 0x40, 0x02, 0x00, 0x00, 0xFF, 0xFF};
  ASSERT_TRUE(board.BusCommand(Face::FilterDriver, read));
  clock.SleepUntilMicroseconds(7250u + 1538u - 250u);
  EXPECT_EQ(board.BusStatus(), 0x80);
  EXPECT_EQ(board.BusData(64), std::vector<std::uint8_t>(64, 0x22));
  EXPECT_EQ(Now(), 7250u + 1538u + 250u);
  EXPECT_EQ(board.UsbRequests(), 1u + 27u + 1u + 1u + 1u);  // each command, status read and fetch
}

}  // namespace
}  // namespace tessora::sim

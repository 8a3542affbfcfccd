#include "platform/sim/board_timing.h"

#include <gtest/gtest.h>

#include "platform/sim/hid_face.h"
#include "platform/sim/sim_board.h"
#include "tests/support/recording_ui.h"

namespace tessora::sim {
namespace {

TEST(BoardTiming, BusBitsAtTheConfiguredClock) {
  BoardConfig config;  // 400 kHz: 2.5 us a bit
  EXPECT_EQ(BusMicroseconds(config, {false, 2, 64, true}), 1513u);  // 1 + 9 x 67 + 1 bits
  EXPECT_EQ(BusMicroseconds(config, {true, 2, 64, true}), 1538u);   // and a repeated start with the address
  EXPECT_EQ(BusMicroseconds(config, {true, 0, 1, true}), 50u);
  EXPECT_EQ(BusMicroseconds(config, {false, 2, 64, false}), 28u);   // nobody acknowledged the address
  config.busKhz = 100;
  EXPECT_EQ(BusMicroseconds(config, {true, 0, 1, true}), 200u);
}

class TimedBoard : public ::testing::Test {
 protected:
  TimedBoard() : board(BoardConfig{}, std::vector<std::uint8_t>(16384, 0xFF)) { board.KeepTime(clock); }

  std::uint64_t Now() { return clock.MicrosecondCount(); }

  testing::RecordingOs clock;
  SimBoard board;
};

// A HID read after a page write waits out the write cycle inside its request.
TEST_F(TimedBoard, HidRequestsTakeLatencyBusAndWriteCycle) {
  std::vector<std::uint8_t> page(64, 0x11);
  board.BusTransfer(Face::Hid, 0xA2, std::vector<std::uint8_t>{0, 0}, page, 0);
  EXPECT_EQ(Now(), 250u + 1513u);
  board.BusTransfer(Face::Hid, 0xA3, std::vector<std::uint8_t>{0, 0}, {}, 64);
  EXPECT_EQ(Now(), 250u + 1513u + 5000u + 1538u);
  board.UsbRequest();
  EXPECT_EQ(Now(), 250u + 1513u + 5000u + 1538u + 250u);
  EXPECT_EQ(clock.SleepCount(), 0u);  // the board's time is not the host's pauses
}

// The driver faces' status stays busy until the write cycle has ended.
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
}

}  // namespace
}  // namespace tessora::sim

#include "platform/sim/sim_board.h"

#include <gtest/gtest.h>

#include "platform/sim/board_directory.h"
#include "platform/sim/hid_face.h"
#include "tests/support/test_support.h"

namespace tessora::sim {
namespace {

void SkipPolls(SimBoard& board, int count) {
  for (int i = 0; i < count; ++i) ASSERT_EQ(board.BusStatus(), 0x00);
}

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> bytes;
  for (int value : values) bytes.push_back(static_cast<std::uint8_t>(value));
  return bytes;
}

TEST(Eeprom, PageWritesWrapInsideTheirPageAndReadsRollOver) {
  Eeprom part(std::vector<std::uint8_t>(16384, 0xFF));
  std::vector<std::uint8_t> data(4, 0xAB);
  part.Write(Bytes({0x00, 0x3E}), data);  // 0x3E, 0x3F, then back to 0x00, 0x01
  EXPECT_EQ(part.Contents()[0x3F], 0xAB);
  EXPECT_EQ(part.Contents()[0x40], 0xFF);
  EXPECT_EQ(part.Contents()[0x00], 0xAB);
  EXPECT_EQ(part.Read(Bytes({0x3F, 0xFF}), 2), Bytes({0xFF, 0xAB}));

  Eeprom small(std::vector<std::uint8_t>(256, 0x00));
  EXPECT_EQ(small.AddressBytes(), 1);
  EXPECT_TRUE(small.AcceptsRead(Bytes({0x00, 0x10})));  // the probe's 2-byte subaddress
  EXPECT_FALSE(small.AcceptsWrite(Bytes({0x00, 0x10})));
  EXPECT_FALSE(part.AcceptsRead(Bytes({0x10})));
}

TEST(SimBoard, BusStatusRunsBusyThenReportsTheOutcome) {
  BoardConfig config;
  config.busyPolls = 2;
  SimBoard board(config, std::vector<std::uint8_t>(16384, 0xFF));
  auto write = Bytes({0xA2, 0x00, 0x02, 0x02, 0x00, 0x10, 0xFF, 0xFF, 0x12, 0x34});
  ASSERT_TRUE(board.BusCommand(Face::FilterDriver, write));
  EXPECT_EQ(board.BusStatus(), 0x00);
  EXPECT_EQ(board.BusStatus(), 0x00);
  EXPECT_EQ(board.BusStatus(), 0x80);
  EXPECT_EQ(board.EepromPart().Contents()[0x10], 0x12);

  auto read = Bytes({0xA3, 0x00, 0x02, 0x02, 0x00, 0x10, 0xFF, 0xFF});
  ASSERT_TRUE(board.BusCommand(Face::WinUsb, read));
  SkipPolls(board, 2);
  EXPECT_EQ(board.BusStatus(), 0x80);
  EXPECT_EQ(board.BusData(2), Bytes({0x12, 0x34}));

  auto nobody = Bytes({0xA0, 0x00, 0x00, 0x00, 0xFF, 0xFF});
  ASSERT_TRUE(board.BusCommand(Face::FilterDriver, nobody));
  SkipPolls(board, 2);
  EXPECT_EQ(board.BusStatus(), 0x01);

  EXPECT_FALSE(board.BusCommand(Face::FilterDriver, Bytes({0xA2, 0x00, 0x05, 0x00, 0xFF, 0xFF, 0x01})));
  EXPECT_EQ(board.TraceLines(), (std::vector<std::string>{
                                    "filterdriver bus-write dev=51 sub=0010 len=2 data=1234 result=ok",
                                    "winusb bus-read dev=51 sub=0010 len=2 result=ok",
                                    "filterdriver bus-write dev=50 sub= len=0 data= result=fail"}));
}

TEST(SimBoard, FaultKnobs) {
  BoardConfig config;
  config.writeLimit = 4;
  config.failAfter = 3;
  config.busyPolls = -1;
  SimBoard board(config, std::vector<std::uint8_t>(16384, 0xFF));
  EXPECT_FALSE(board.BusTransfer(Face::Hid, 0xA2, Bytes({0, 0}), Bytes({1, 2, 3, 4, 5}), 0).acknowledged);
  EXPECT_TRUE(board.BusTransfer(Face::Hid, 0xA2, Bytes({0, 0}), Bytes({1, 2, 3, 4}), 0).acknowledged);
  ASSERT_TRUE(board.BusCommand(Face::FilterDriver, Bytes({0xA3, 0x00, 0x01, 0x02, 0x00, 0x00, 0xFF, 0xFF})));
  for (int poll = 0; poll < 1000; ++poll) ASSERT_EQ(board.BusStatus(), 0x00);  // stuck busy
  EXPECT_FALSE(board.MemoryRead(Face::FilterDriver, 0, 1).has_value());          // the fourth request: gone
  EXPECT_FALSE(board.Present());
  EXPECT_EQ(board.TraceLines().size(), 3u);
}

TEST(HidFace, AnswersInTheReportKindItWasAskedIn) {
  BoardConfig config;
  config.featureReportLength = 72;
  SimBoard board(config, std::vector<std::uint8_t>(16384, 0x5A));
  HidFace face(board);
  std::vector<std::uint8_t> report(72, 0);
  report[0] = 0xFF;
  EXPECT_TRUE(face.GetFeature(report.data(), 72));  // the probe: report 0xFF is always there
  EXPECT_FALSE(face.GetFeature(report.data(), 128));

  report = Bytes({0xFF, 0x04, 0xA3, 0x00, 0x03, 0x02, 0x00, 0x00});
  report.resize(72, 0);
  ASSERT_TRUE(face.SetFeature(report.data(), 72));
  std::vector<std::uint8_t> answer(72, 0);
  answer[0] = 0xFF;
  ASSERT_TRUE(face.GetFeature(answer.data(), 72));
  EXPECT_EQ(std::vector<std::uint8_t>(answer.begin(), answer.begin() + 5), Bytes({0xFF, 0x04, 0x5A, 0x5A, 0x5A}));

  std::vector<std::uint8_t> output(128, 0);
  output[0] = 0xFF;
  output[1] = 0x04;
  output[2] = 0xA1;  // nobody at 0x50
  output[4] = 1;
  output[5] = 2;
  std::uint32_t read = 0;
  EXPECT_FALSE(face.ReadInput(answer.data(), 128, &read));
  ASSERT_TRUE(face.WriteOutput(output.data(), 128));
  std::vector<std::uint8_t> input(128, 0);
  ASSERT_TRUE(face.ReadInput(input.data(), 128, &read));
  EXPECT_EQ(read, 128u);
  EXPECT_EQ(input[1], 0x00);  // no echo: the read failed
}

TEST(BoardConfig, ParsesKeysAndRejectsWhatItDoesNotKnow) {
  BoardConfig config;
  std::string error;
  ASSERT_TRUE(ParseBoardConfig("# test board\ninterfaces = hid winusb\neeprom_address = 0x50  # moved\n"
                               "fail_after = 12\ncorrupt_readback = 0x80\nbusy_polls = stuck\n\n",
                               config, error))
      << error;
  EXPECT_TRUE(config.hid);
  EXPECT_FALSE(config.filterDriver);
  EXPECT_EQ(config.eepromAddress, 0x50);
  EXPECT_EQ(config.failAfter, 12u);
  EXPECT_EQ(config.corruptReadback, 0x80u);
  EXPECT_EQ(config.busyPolls, -1);

  ASSERT_TRUE(ParseBoardConfig("interfaces = none\n", config, error));
  EXPECT_FALSE(config.hid || config.filterDriver || config.winUsb);

  EXPECT_FALSE(ParseBoardConfig("eeprom_adress = 0x50\n", config, error));
  EXPECT_NE(error.find("unknown key 'eeprom_adress'"), std::string::npos);
  EXPECT_FALSE(ParseBoardConfig("eeprom_address = 0x80\n", config, error));
  EXPECT_FALSE(ParseBoardConfig("write_limit = 12x\n", config, error));
  EXPECT_FALSE(ParseBoardConfig("interfaces = usb\n", config, error));
  EXPECT_FALSE(ParseBoardConfig("just words\n", config, error));

  ASSERT_TRUE(ParseBoardConfig("crc_errors = 7\nshort_bus_data = 1\nopen_fails = yes\nwinusb_init_fails = 1\n",
                               config, error))
      << error;
  EXPECT_EQ(config.crcErrors, 7u);
  EXPECT_EQ(config.shortBusData, 1u);
  EXPECT_TRUE(config.openFails && config.winUsbInitFails);
  EXPECT_FALSE(ParseBoardConfig("open_fails = maybe\n", config, error));
}

TEST(BoardDirectory, CreatesABlankPartKeepsItsSizeAndTracesEveryRequest) {
  testing::TempDir dir;
  std::string error;
  {
    auto board = BoardDirectory::Open(dir.Path().string(), error);
    ASSERT_TRUE(board) << error;
    EXPECT_EQ(testing::ReadFile(dir.File("eeprom.bin")), std::string(16384, '\xFF'));
    board->Board().BusTransfer(Face::Hid, 0xA2, Bytes({0, 1}), Bytes({0x42}), 0);
    ASSERT_TRUE(board->Save(error)) << error;
  }
  EXPECT_EQ(testing::ReadFile(dir.File("eeprom.bin"))[1], '\x42');
  EXPECT_EQ(testing::ReadFile(dir.File("trace.log")), "hid bus-write dev=51 sub=0001 len=1 data=42 result=ok\n");

  testing::WriteFile(dir.File("eeprom.bin"), std::string(256, '\0'));
  auto small = BoardDirectory::Open(dir.Path().string(), error);
  ASSERT_TRUE(small) << error;
  EXPECT_EQ(small->Board().EepromPart().AddressBytes(), 1);

  testing::WriteFile(dir.File("board.conf"), "colour = green\n");
  EXPECT_FALSE(BoardDirectory::Open(dir.Path().string(), error));
  EXPECT_FALSE(BoardDirectory::Open(dir.File("missing"), error));
}

}  // namespace
}  // namespace tessora::sim

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devlib/bus_command.h"
#include "engine/connection.h"
#include "engine/image_file.h"
#include "engine/program_image.h"
#include "tests/support/driver_rig.h"
#include "tests/support/test_support.h"

namespace tessora {
namespace {

using testing::DriverRig;

sim::BoardConfig Silent() {
  sim::BoardConfig config;
  config.openFails = true;
  return config;
}

TEST(FindDriverDevice, NothingListedEndsAtOnce) {
  DriverRig rig;
  rig.context.currentDevice = 0x564D0083;
  EXPECT_FALSE(ConnectDevice(rig.context));
  EXPECT_EQ(rig.context.pageSize, 64);
  EXPECT_EQ(rig.context.currentDevice, 0u);
  EXPECT_EQ(rig.clock.SleepCount(), 0u);
}

TEST(FindDriverDevice, ListedButSilentDevicesCostOnePause) {
  DriverRig rig;
  rig.AddBoard(Silent());
  EXPECT_FALSE(ConnectDevice(rig.context));
  EXPECT_EQ(rig.context.currentDevice, 0u);
  EXPECT_EQ(rig.clock.SleepCount(), 1u);
  EXPECT_EQ(rig.clock.SleptMilliseconds(), 100u);

  EXPECT_EQ(FindDriverDevice(rig.context, 350), 1);  // a longer budget searches again every 100 ms
  EXPECT_EQ(rig.clock.SleptMilliseconds(), 100u + 400u);
}

TEST(FindDriverDevice, TheFirstThatAnswersIsTaken) {
  DriverRig rig;
  rig.AddBoard();
  rig.AddBoard(Silent());  // enumerated last, so probed first
  ASSERT_TRUE(ConnectDevice(rig.context));
  EXPECT_EQ(rig.context.currentDevice, 0x564D0000u);
  EXPECT_EQ(rig.boards[0]->TraceLines(), (std::vector<std::string>{"filterdriver mem-read addr=0000 len=1"}));
  EXPECT_EQ(rig.clock.SleepCount(), 0u);
}

TEST(DriverDispatch, RecordsOfTheOtherInterfaceAreRefused) {
  DriverRig rig;
  rig.AddBoard();
  ASSERT_TRUE(ConnectDevice(rig.context));
  std::uint32_t driverRecord = rig.context.currentDevice;
  rig.UseWinUsb(true);
  ASSERT_TRUE(ConnectDevice(rig.context));
  std::uint32_t usbRecord = rig.context.currentDevice;
  EXPECT_NE(usbRecord, driverRecord);

  const std::uint8_t sub[2] = {0, 0};
  std::uint8_t byte = 0x5A;
  auto refusals = [&](std::uint32_t handle) {
    return std::vector<std::uint32_t>{rig.dispatch.DispatchMemoryWrite(handle, 0x10, 1, &byte),
                                      rig.dispatch.DispatchMemoryRead(handle, 0x10, 1, &byte),
                                      rig.dispatch.DispatchBusWrite(handle, 0x51, 2, sub, 1, &byte),
                                      rig.dispatch.DispatchBusRead(handle, 0x51, 2, sub, 1, &byte)};
  };
  const std::vector<std::uint32_t> refused = {0, 0, kBusNotOpened, kBusNotOpened};
  EXPECT_EQ(refusals(driverRecord), refused);  // WinUSB is current
  EXPECT_EQ(refusals(0x564D0001), refused);    // no such record
  rig.library.SetInterfaceGuid(FilterDriverInterfaceGuid);
  EXPECT_EQ(refusals(usbRecord), refused);
  EXPECT_EQ(rig.boards[0]->TraceLines().size(), 2u);  // only the two connection probes
}

class DriverRoundTrip : public ::testing::TestWithParam<bool> {};

// Update and read-out through the whole stack: engine, dispatch, transport, device
// stack and board.
TEST_P(DriverRoundTrip, ProgramsVerifiesAndReadsOut) {
  bool winUsb = GetParam();
  DriverRig rig;
  sim::SimBoard& board = rig.AddBoard();
  rig.UseWinUsb(winUsb);
  ASSERT_TRUE(ConnectDevice(rig.context));

  testing::TempDir dir;
  testing::CountingProgress progress;
  std::vector<std::uint8_t> image = testing::PatternBytes(300);
  std::string imageFile = dir.File("image.hex");
  testing::WriteFile(imageFile, testing::ImageText(image));
  ASSERT_EQ(ProgramImage(rig.context, progress, imageFile.c_str(), 0x51, 64, 2), 0);
  EXPECT_TRUE(std::equal(image.begin(), image.end(), board.EepromPart().Contents().begin()));

  std::string outFile = dir.File("out.hex");
  ASSERT_EQ(ReadOutToFile(rig.context, progress, outFile.c_str(), 0x51, 0, 300, 16, 2), 0);
  std::vector<std::uint8_t> loaded(65535, 0);
  ASSERT_EQ(ReadImageFile(outFile.c_str(), loaded.data(), 65535), 300);
  EXPECT_TRUE(std::equal(image.begin(), image.end(), loaded.begin()));

  std::string face = winUsb ? "winusb " : "filterdriver ";
  for (const std::string& line : board.TraceLines()) ASSERT_EQ(line.rfind(face, 0), 0u) << line;
  EXPECT_EQ(rig.stack.OpenHandleCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Transports, DriverRoundTrip, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "WinUsb" : "FilterDriver";
                         });

}  // namespace
}  // namespace tessora

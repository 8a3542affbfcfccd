#include "app/program_devices.h"

#include <gtest/gtest.h>

#include "engine/connection.h"
#include "tests/support/recording_ui.h"
#include "tests/support/test_support.h"

namespace tessora {
namespace {

// A board directory answers at once unless its board.conf sets the timing; then every
// request takes its time on the program's clock.
TEST(SimulatedDeviceAccess, TimingKeysMakeTheBoardKeepTime) {
  struct Case {
    const char* conf;
    std::uint64_t probeMicroseconds;  // the one memory read that finds the device
  };
  const Case cases[] = {{"", 0}, {"page_size = 16\n", 0}, {"latency_us = 40\n", 40}, {"bus_khz = 100\n", 250}};
  for (const Case& c : cases) {
    testing::TempDir dir;
    testing::WriteFile(dir.File("board.conf"), c.conf);
    testing::RecordingOs clock;
    Settings settings;
    std::string error;
    auto access = SimulatedDeviceAccess::Open(dir.Path().string(), settings, clock, error);
    ASSERT_TRUE(access) << error;
    ASSERT_TRUE(ConnectDevice(access->Engine()));
    EXPECT_EQ(clock.MicrosecondCount(), c.probeMicroseconds) << c.conf;
  }
}

}  // namespace
}  // namespace tessora

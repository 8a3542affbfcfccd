#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devlib/bus_command.h"
#include "devlib/qorv_device_library.h"
#include "engine/connection.h"
#include "tests/support/shell_rig.h"

namespace tessora {
namespace {

using testing::ShellRig;

// Nothing listed ends at once; devices listed but silent cost one pause, or a search every
// 100 ms within a longer budget. The first that answers is taken.
TEST(FindDriverDevice, SilenceCostsOnePausePerSearch) {
  ShellRig rig;
  rig.context.currentDevice = 0x564D0083;
  EXPECT_FALSE(ConnectDevice(rig.context));
  EXPECT_EQ(rig.context.pageSize, 64);
  EXPECT_EQ(rig.context.currentDevice, 0u);
  EXPECT_EQ(rig.os.SleepCount(), 0u);

  rig.AddBoard({.openFails = true});
  EXPECT_FALSE(ConnectDevice(rig.context));
  EXPECT_EQ(rig.os.SleptMilliseconds(), 100u);
  EXPECT_EQ(FindDriverDevice(rig.context, 350), 1);
  EXPECT_EQ(rig.os.SleptMilliseconds(), 100u + 400u);

  rig.AddBoard();  // enumerated last, so probed first
  rig.AddBoard({.openFails = true});
  ASSERT_TRUE(ConnectDevice(rig.context));
  EXPECT_EQ(rig.context.currentDevice, 0x564D0083u);
  EXPECT_EQ(rig.boards[1].TraceLines(), (std::vector<std::string>{"filterdriver mem-read addr=0000 len=1"}));
  EXPECT_EQ(rig.os.SleptMilliseconds(), 100u + 400u);
}

TEST(DriverDispatch, RecordsOfTheOtherInterfaceAreRefused) {
  ShellRig rig;
  rig.AddBoard();
  ASSERT_TRUE(ConnectDevice(rig.context));
  std::uint32_t driverRecord = rig.context.currentDevice;
  rig.settings.useWinUsb = 1;
  ASSERT_TRUE(ConnectDevice(rig.context));
  std::uint32_t usbRecord = rig.context.currentDevice;
  EXPECT_NE(usbRecord, driverRecord);

  const std::uint8_t sub[2] = {0, 0};
  std::uint8_t byte = 0x5A;
  auto refusals = [&](std::uint32_t handle) {
    return std::vector<std::uint32_t>{rig.context.dispatch.DispatchMemoryWrite(handle, 0x10, 1, &byte),
                                      rig.context.dispatch.DispatchMemoryRead(handle, 0x10, 1, &byte),
                                      rig.context.dispatch.DispatchBusWrite(handle, 0x51, 2, sub, 1, &byte),
                                      rig.context.dispatch.DispatchBusRead(handle, 0x51, 2, sub, 1, &byte)};
  };
  const std::vector<std::uint32_t> refused = {0, 0, kBusNotOpened, kBusNotOpened};
  EXPECT_EQ(refusals(driverRecord), refused);  // WinUSB is current
  EXPECT_EQ(refusals(0x564D0001), refused);    // no such record
  rig.library.SetInterfaceGuid(FilterDriverInterfaceGuid);
  EXPECT_EQ(refusals(usbRecord), refused);
  EXPECT_EQ(rig.boards[0].TraceLines().size(), 2u);  // only the two connection probes
}

}  // namespace
}  // namespace tessora

#include "app/program_devices.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "app/board_runs.h"
#include "app/device_selector.h"
#include "engine/connection.h"
#include "hid/hid_enumeration.h"
#include "tests/support/recording_ui.h"
#include "tests/support/shell_rig.h"
#include "tests/support/test_support.h"

namespace tessora {
namespace {

// A board directory answers at once unless its board.conf sets the timing, even to zero;
// then every request takes its time on the program's clock.
TEST(SimulatedDeviceAccess, TimingKeysMakeTheBoardKeepTime) {
  struct Case {
    const char* conf;
    std::uint64_t probeMicroseconds;  // the one memory read that finds the device
  };
  const Case cases[] = {{"", 0},                  {"page_size = 16\n", 0},  {"busy_polls = 1\n", 0},
                        {"latency_us = 40\n", 40}, {"bus_khz = 100\n", 250}, {"write_cycle_us = 0\n", 250}};
  for (const Case& c : cases) {
    test::TempDir dir;
    test::WriteFile(dir.File("board.conf"), c.conf);
    test::RecordingOs clock;
    Settings settings;
    std::string error;
    auto access = SimulatedDeviceAccess::Open(dir.Path().string(), settings, clock, error);
    ASSERT_TRUE(access) << error;
    ASSERT_TRUE(ConnectDevice(access->Engine()));
    EXPECT_EQ(clock.MicrosecondCount(), c.probeMicroseconds) << c.conf;
  }
}

TEST(SimulatedBench, DirectoriesAndPerBoardFileNames) {
  using List = std::vector<std::string>;
#ifdef _WIN32
  EXPECT_EQ(SplitBoardDirectories("C:\\x:d:/y::z"), (List{"C:\\x", "d:/y", "z"}));
#else
  EXPECT_EQ(SplitBoardDirectories("a:/b/c::d"), (List{"a", "/b/c", "d"}));
#endif
  EXPECT_EQ(BoardFileName("out.hex", "QV1"), "out-QV1.hex");
  EXPECT_EQ(BoardFileName("dir.v2/out", "a b/c"), "dir.v2/out-a_b_c");
}

// Two boards with one serial number: each interface of each is still a path of its own,
// so a board picked by its port is the one that answers.
TEST(SimulatedBench, BoardsSharingASerialNumberAreReachedAtTheirOwnPorts) {
  test::TempDir first, second;
  test::WriteFile(first.File("board.conf"), "serial = QV1\nport = 1-1\n");
  test::WriteFile(second.File("board.conf"), "serial = QV1\nport = 1-2\n");
  test::RecordingOs os;
  Settings settings;
  std::string error;
  auto bench = SimulatedDeviceAccess::Open(first.Path().string() + ":" + second.Path().string(), settings, os, error);
  ASSERT_TRUE(bench) << error;
  for (std::uint32_t hid : {1, 0}) {
    settings.useHid = hid;
    settings.useWinUsb = 1 - hid;
    auto one = SelectDevice(*bench, settings, os, "usb:1-2");
    ASSERT_TRUE(ConnectDevice(one->Engine()));
  }
  EXPECT_EQ(test::ReadFile(first.File("trace.log")), "");
  EXPECT_NE(test::ReadFile(second.File("trace.log")), "");
}

// A selector names a board by its serial number, an interface's path, its instance ID or its
// port; a board of a run on every board is its interface's path and nothing else.
TEST(DeviceSelector, ListsOnlyTheNamedBoard) {
  test::TempDir first, second;
  test::RecordingOs os;
  Settings settings;
  std::string error;
  auto bench = SimulatedDeviceAccess::Open(first.Path().string() + ":" + second.Path().string(), settings, os, error);
  ASSERT_TRUE(bench) << error;
  const DeviceInterfaceRecord secondHid = TakeInventory(bench->Stack(), InterfaceKind::Hid).at(1);
  const std::string serial = DeviceName(secondHid);
  struct Case {
    std::string selector;
    std::size_t hidCount;
    std::size_t winUsbCount;
  };
  std::string lowerSerial = serial;
  for (char& c : lowerSerial) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const Case cases[] = {{lowerSerial, 1, 1}, {secondHid.path, 1, 0}, {"USB\\VID_3E9A&PID_0210\\" + serial, 0, 1},
                        {"SIM00000000", 0, 0}, {"usb:1-1", 0, 0}};
  for (const Case& c : cases) {
    std::unique_ptr<DeviceStack> view = SelectedView(bench->Stack(), DeviceSelector::Parse(c.selector));
    std::vector<DeviceInterfaceRecord> hidListed = TakeInventory(*view, InterfaceKind::Hid);
    EXPECT_EQ(hidListed.size(), c.hidCount) << c.selector;
    EXPECT_EQ(TakeInventory(*view, InterfaceKind::WinUsb).size(), c.winUsbCount) << c.selector;
    for (const DeviceInterfaceRecord& listed : hidListed) EXPECT_EQ(DeviceName(listed), serial);
  }
  EXPECT_EQ(TakeInventory(*InterfaceView(bench->Stack(), secondHid.path), InterfaceKind::Hid).size(), 1u);
  EXPECT_TRUE(TakeInventory(*InterfaceView(bench->Stack(), serial), InterfaceKind::Hid).empty());
}

// The HID enumeration's complaints reach the user as the shell shows messages: a box in a
// window, the debug output in silent mode.
TEST(StackDeviceAccess, HidMessagesGoWhereTheShellShowsMessages) {
  for (bool silent : {false, true}) {
    test::ShellRig rig(test::Interface::Hid);
    rig.shell->silentMode = silent;
    rig.stack.Interface(rig.AddHidDevice(0x1111, 0x2222, u"Broken")).productFails = true;
    EXPECT_FALSE(ListHidDevices(rig.hid));
    std::vector<std::string> expected{"owned [Error!] 10 Error: HidD_GetProductString failed!"};
    EXPECT_EQ(rig.ui.Boxes(), silent ? std::vector<std::string>{} : expected) << silent;
    auto said = [](const std::string& line) { return line.find("HidD_GetProductString failed!") != std::string::npos; };
    EXPECT_EQ(std::count_if(rig.os.debugLines.begin(), rig.os.debugLines.end(), said), silent ? 1 : 0);
  }
}

}  // namespace
}  // namespace tessora

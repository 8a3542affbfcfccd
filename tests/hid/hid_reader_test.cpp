#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

#include "hid/hid_device.h"
#include "tests/support/device_rig.h"

namespace tessora {
namespace {

using test::DeviceRig;

// Lets a test raise the stop event the way Close does, without closing.
class StoppableDevice : public hidDeviceClass {
 public:
  using hidDeviceClass::hidDeviceClass;
  void RaiseStop() { stopEvent.Set(); }
};

std::vector<std::uint8_t> Report(std::uint8_t tag, std::size_t length = 128) {
  std::vector<std::uint8_t> report(length, tag);
  report[0] = 0xFF;
  return report;
}

class HidReader : public ::testing::Test {
 protected:
  void SetUp() override {
    controller = system.stack.InterfaceCount();  // the HID face comes first
    system.AddBoard();
    device.OpenPath(system.stack.Interface(controller).path.c_str());
    ASSERT_TRUE(device.IsOpen());
    ASSERT_EQ(device.InputReportLength(), 128);
  }
  void Deliver(std::vector<std::uint8_t> report) { system.stack.DeliverInputReport(controller, std::move(report)); }

  DeviceRig system;
  std::size_t controller = 0;
  StoppableDevice device{system.hid};
};

// The loop run on the test's own thread, so that each exit is reached deterministically.
TEST_F(HidReader, ExitCodesOfTheReaderLoop) {
  Deliver(Report(1));
  EXPECT_EQ(device.ReaderThread(), kReaderEndedByCallback);  // no callback: one report, then done
  EXPECT_EQ(device.InputReport()[1], 1);

  Deliver(Report(2, 100));
  EXPECT_EQ(device.ReaderThread(), kReaderReadFailed);  // short report

  Deliver(Report(3));
  device.RaiseStop();
  EXPECT_EQ(device.ReaderThread(), kReaderStopped);  // both events set: the stop wins, report complete

  // Without a wait only a report already there is taken.
  EXPECT_EQ(device.ReadInputReportOverlapped(0, 0), 0);
  EXPECT_EQ(device.ReadInputReportOverlapped(1, 0), -1);  // timed out, still pending
  Deliver(Report(4));
  EXPECT_EQ(device.ReadInputReportOverlapped(0, 0), 1);
  EXPECT_EQ(device.InputReport()[1], 4);
}

// A callback that closes the object ends the reader, which must not join itself.
TEST_F(HidReader, CallbackSeesEachReportUntilItStopsOrCloses) {
  struct Seen {
    std::vector<std::uint8_t> tags{};
    bool closeOnThird = false;
    std::promise<void> done{};
  };
  device.Close();  // the reader below is the only one to take the reports
  for (bool closeOnThird : {false, true}) {
    Seen seen{.closeOnThird = closeOnThird};
    auto reader = std::make_unique<StoppableDevice>(system.hid);
    reader->OpenPath(system.stack.Interface(controller).path.c_str());
    reader->SetInputCallback(
        [](std::uintptr_t context, hidDeviceClass& device) {
          Seen& seen = *reinterpret_cast<Seen*>(context);
          seen.tags.push_back(device.InputReport()[1]);
          if (seen.tags.size() < 3) return true;
          if (seen.closeOnThird) device.Close();
          seen.done.set_value();
          return seen.closeOnThird;  // a closed object ends the reader even when asked to go on
        },
        reinterpret_cast<std::uintptr_t>(&seen));
    std::future<void> done = seen.done.get_future();
    ASSERT_TRUE(reader->StartReader());
    EXPECT_FALSE(reader->StartReader());  // one reader at a time
    for (std::uint8_t tag = 1; tag <= 3; ++tag) Deliver(Report(tag));
    done.wait();
    EXPECT_EQ(reader->IsOpen(), !closeOnThird);
    reader->Close();
    if (!closeOnThird) {
      EXPECT_EQ(reader->ReaderExitCode(), kReaderEndedByCallback);
    }
    reader.reset();
    EXPECT_EQ(seen.tags, (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(system.stack.OpenHandleCount(), 0u);
  }
}

TEST_F(HidReader, ManyOpenReadCloseCyclesWithReportsArrivingMeanwhile) {
  std::atomic<int> reports{0};
  std::atomic<bool> stop{false};
  std::thread deviceSide([&] {
    for (int sent = 0; sent < 5000 && !stop.load(); ++sent) {
      Deliver(Report(5));
      std::this_thread::yield();
    }
  });
  for (int cycle = 0; cycle < 200; ++cycle) {
    device.OpenPath(system.stack.Interface(controller).path.c_str());
    device.SetInputCallback(
        [](std::uintptr_t context, hidDeviceClass&) {
          ++*reinterpret_cast<std::atomic<int>*>(context);
          return true;
        },
        reinterpret_cast<std::uintptr_t>(&reports));
    ASSERT_TRUE(device.StartReader());
    device.Close();
    EXPECT_TRUE(device.ReaderExitCode() == kReaderStopped || device.ReaderExitCode() == kReaderReadFailed);
  }
  stop = true;
  deviceSide.join();
  EXPECT_EQ(system.stack.OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace tessora

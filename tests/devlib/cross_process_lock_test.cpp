// The device lock against other processes: this test program starts itself again as
// the other process, which takes a device's mutex and holds it until told to go.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "devlib/bus_command.h"
#include "devlib/filter_driver_transport.h"
#include "devlib/qorv_device_library.h"
#include "devlib/winusb_transport.h"
#include "platform/native_os_services.h"
#include "tests/support/device_rig.h"


namespace tessora {
namespace {

using test::DeviceRig;

// "<mode>|<directory>|<mutex name>"; mode release, abandon, or keep (taken and released under a
// keep, then abandoned)
constexpr const char* kHolderVariable = "TESSORA_LOCK_HOLDER";
constexpr auto kPatience = std::chrono::seconds(60);           // Wine may take a while to start a program

bool WaitForFile(const std::filesystem::path& file) {
  auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (!std::filesystem::exists(file)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

void SetEnvironment(const char* name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name, value.c_str());
#else
  setenv(name, value.c_str(), 1);
#endif
}

// The other process: takes the mutex (or keeps it past a hold), says so, and on the word
// either releases it or ends while still holding or keeping it, as a process that is
// killed does.
TEST(LockHolder, DISABLED_HoldsTheMutexUntilToldToGo) {
  const char* request = std::getenv(kHolderVariable);
  if (request == nullptr) GTEST_SKIP();
  std::string text = request;
  std::size_t first = text.find('|'), second = text.find('|', first + 1);
  std::string mode = text.substr(0, first);
  std::filesystem::path directory = text.substr(first + 1, second - first - 1);
  auto os = CreateNativeOsServices();
  std::uint32_t lastError = 0;
  auto mutex = os->CreateMutexA(text.substr(second + 1).c_str(), lastError);
  ASSERT_NE(mutex, nullptr);
  if (mode == "keep") mutex->Keep();
  ASSERT_EQ(mutex->Wait(kInfinite), kWaitObject0);
  if (mode == "keep") mutex->Release();
  test::WriteFile((directory / "held").string(), "held");
  ASSERT_TRUE(WaitForFile(directory / "go"));
  if (mode != "release") std::_Exit(0);
  mutex->Release();
}

class OtherProcess {
 public:
  OtherProcess(const std::string& mutexName, const std::string& mode) {
    SetEnvironment(kHolderVariable, mode + "|" + dir_.Path().string() + "|" + mutexName);
    std::string command = ::testing::internal::GetArgvs()[0] +
                          " --gtest_filter=LockHolder.* --gtest_also_run_disabled_tests > \"" +
                          dir_.File("holder.log") + "\" 2>&1";
    child_ = std::thread([this, command] { status_ = std::system(command.c_str()); });
  }
  ~OtherProcess() { Finish(); }

  bool HoldsTheMutex() { return WaitForFile(dir_.Path() / "held"); }
  // Tells it to go and waits until it has ended; its exit status.
  int Finish() {
    if (child_.joinable()) {
      test::WriteFile(dir_.File("go"), "go");
      child_.join();
    }
    return status_;
  }

 private:
  test::TempDir dir_;
  std::thread child_;
  int status_ = -1;
};

class CrossProcessLockTest : public ::testing::Test {
 protected:
  CrossProcessLockTest() { rig.AddBoard(), rig.AddBoard(); }
  QorvDevice& Record(std::size_t board, const Guid& guid) {
    rig.library.SetInterfaceGuid(guid);
    rig.library.BuildDeviceList(false);
    std::string path = rig.stack.Interface(board * 3 + (guid == WinUsbInterfaceGuid ? 2 : 1)).path;
    return *rig.library.GetDevice(path.c_str());
  }
  std::string MutexNameOf(std::size_t board) {
    return QorvDevice::MutexName(rig.stack.Interface(board * 3 + 1).instanceId.c_str(), rig.library.TerminalServices());
  }

  DeviceRig rig;
  const std::uint8_t sub[2] = {0, 0};
  const std::uint8_t data[1] = {0x5A};
};

TEST_F(CrossProcessLockTest, AHeldDeviceIsNotOpenedAndOthersStayFree) {
  OtherProcess holder(MutexNameOf(0), "release");
  ASSERT_TRUE(holder.HoldsTheMutex());
  QorvDevice& heldDriver = Record(0, FilterDriverInterfaceGuid);
  EXPECT_EQ(FilterDriverTransport(heldDriver).BusWrite(0x51, 2, sub, 1, data), kBusLockTimeout);
  QorvDevice& heldUsb = Record(0, WinUsbInterfaceGuid);
  std::uint8_t byte = 0;
  EXPECT_EQ(WinUsbTransport(heldUsb).MemoryRead(0, 1, &byte), 0u);
  EXPECT_EQ(WinUsbTransport(heldUsb).BusWrite(0x51, 2, sub, 1, data), kBusLockTimeout);
  EXPECT_EQ(rig.stack.opens, 0);
  // The other board's lock has another name.
  EXPECT_EQ(WinUsbTransport(Record(1, WinUsbInterfaceGuid)).BusWrite(0x51, 2, sub, 1, data), kBusOk);
  EXPECT_EQ(holder.Finish(), 0);
  EXPECT_EQ(WinUsbTransport(heldUsb).BusWrite(0x51, 2, sub, 1, data), kBusOk);
}

// A holder that ends without letting go, as a killed one, leaves the lock to the next
// taker, whoever made it: one that held it at its end, and one that kept it past its last
// hold. Linux keeps the address bound then, so the lock stays taken while the keeper lives;
// Windows keeps nothing.
TEST_F(CrossProcessLockTest, AMutexLeftByAnEndedHolderIsTaken) {
  struct Case {
    const char* mode;
    std::uint32_t whileItLives;
    std::uint32_t afterItEnded;
  };
#ifdef _WIN32
  const Case cases[] = {{"abandon", kWaitTimeout, kWaitAbandoned}, {"keep", kWaitObject0, kWaitObject0}};
#else
  // The kernel keeps no trace of the holder.
  const Case cases[] = {{"abandon", kWaitTimeout, kWaitObject0}, {"keep", kWaitTimeout, kWaitObject0}};
#endif
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    OtherProcess holder(MutexNameOf(0), c.mode);
    ASSERT_TRUE(holder.HoldsTheMutex());
    // Opened while the holder lives: on Windows a mutex nobody else has open ends with its
    // holder, and a new one of the name would know nothing of it.
    std::uint32_t lastError = 0;
    auto mutex = rig.os.CreateMutexA(MutexNameOf(0).c_str(), lastError);
    ASSERT_NE(mutex, nullptr);
    std::uint32_t whileItLives = mutex->Wait(0);
    EXPECT_EQ(whileItLives, c.whileItLives);
    if (whileItLives == kWaitObject0) mutex->Release();
    holder.Finish();
    EXPECT_EQ(mutex->Wait(0), c.afterItEnded);
    mutex->Release();
    EXPECT_EQ(FilterDriverTransport(Record(0, FilterDriverInterfaceGuid)).BusWrite(0x51, 2, sub, 1, data), kBusOk);
  }
}

// A lock opened before its holder let go is still the lock of the name: it and a lock
// opened afterwards never both hold.
TEST(NamedMutex, AMutexOpenedBeforeTheLastReleaseStillExcludesTheOthers) {
  auto os = CreateNativeOsServices();
  const std::string name = "Global\\tessora_" + test::UniqueSerial();
  std::uint32_t lastError = 0;
  auto first = os->CreateMutexA(name.c_str(), lastError);
  auto early = os->CreateMutexA(name.c_str(), lastError);
  ASSERT_TRUE(first && early);
  ASSERT_EQ(first->Wait(0), kWaitObject0);
  ASSERT_TRUE(first->Release());
  ASSERT_EQ(early->Wait(0), kWaitObject0);
  std::uint32_t late = kWaitFailed;
  std::thread([&] {
    auto mutex = os->CreateMutexA(name.c_str(), lastError);
    late = mutex ? mutex->Wait(0) : kWaitFailed;
    if (late == kWaitObject0) mutex->Release();
  }).join();
  EXPECT_EQ(late, kWaitTimeout);
  EXPECT_TRUE(early->Release());
}

}  // namespace
}  // namespace tessora

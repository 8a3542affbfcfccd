#include "app/procedures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <thread>
#include <utility>

#include "app/run_result.h"
#include "devlib/qorv_device_library.h"
#include "engine/connection.h"
#include "engine/image_file.h"
#include "tests/support/shell_rig.h"

namespace tessora {
namespace {

using test::Interface;
using test::PatternBytes;
using test::ShellRig;
using Lines = std::vector<std::string>;

// Holds a named mutex on a thread of its own, as another program would, while it lives.
// The hand-overs are futures, not std::latch: MinGW-w64's GCC 12 builds the latch's wait
// over a condition variable that its count_down signals without taking the mutex, so the
// wake-up can come between the waiter's check and its sleep and be lost for good.
class OtherHolder {
 public:
  OtherHolder(OsServices& os, const std::string& name)
      : thread_([this, &os, name, release = release_.get_future()] {
          std::uint32_t lastError = 0;
          std::unique_ptr<NamedMutex> mutex = os.CreateMutexA(name.c_str(), lastError);
          bool held = mutex && mutex->Wait(kInfinite) == kWaitObject0;
          held_.set_value();
          release.wait();
          if (held) mutex->Release();
        }) {
    held_.get_future().wait();
  }
  ~OtherHolder() { release_.set_value(); }

 private:
  std::promise<void> held_, release_;
  std::jthread thread_;
};

Lines BarAndPaint(const test::RecordingUi& ui) {
  Lines shown;
  for (const std::string& event : ui.events)
    if (event.rfind("bar ", 0) == 0 || event.rfind("paint ", 0) == 0) shown.push_back(event);
  return shown;
}

class Procedures : public ::testing::TestWithParam<Interface> {};

// Each procedure that meets no device, no EEPROM or a device another Tessora holds
// reports it at once, before any file is asked for, and writes nothing.
TEST_P(Procedures, ProceduresStopBeforeAnyFileQuestion) {
  struct Case {
    sim::BoardConfig config;
    bool holdDevice;
    std::string message;
    int exitCode;
  };
  const Case cases[] = {
      {{.hid = false, .filterDriver = false, .winUsb = false}, false, "Could not find installed device.", kUpdateNoDevice},
      {{.eepromAddress = 0x50}, false, "Could not find EEPROM.", kUpdateNoEeprom},
      {{}, true, "Device in use by another Tessora.", kUpdateNoDevice},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    ShellRig rig(GetParam(), c.config);
    std::unique_ptr<OtherHolder> other;
    if (c.holdDevice) {
      ASSERT_TRUE(ConnectDevice(rig.shell->engine));
      other = std::make_unique<OtherHolder>(rig.os, ProcedureLockName(rig.shell->engine));
    }
    EXPECT_EQ(UpdateFirmware(*rig.shell, nullptr), 0);
    EXPECT_EQ(rig.shell->exitCode, c.exitCode);
    EXPECT_EQ(ReadOutFirmware(*rig.shell, nullptr), 0);
    EXPECT_EQ(ClearEeprom(*rig.shell), 0);
    EXPECT_EQ(RebootCommand(*rig.shell, 2), c.exitCode == kUpdateNoEeprom);
    std::size_t boxes = c.exitCode == kUpdateNoEeprom ? 3 : 4;
    EXPECT_EQ(rig.ui.Boxes(), Lines(boxes, "[-] 50010 " + c.message));
    EXPECT_EQ(rig.ui.Outputs(), Lines(boxes, c.message));
    EXPECT_TRUE(rig.ui.questions.empty());
    for (const std::string& line : rig.Trace()) EXPECT_EQ(line.find("write"), std::string::npos) << line;
  }
}

TEST_P(Procedures, UpdateFallsBackToSmallerPagesUntilItSucceedsOrFailsAtEight) {
  ShellRig rig(GetParam(), {.writeLimit = 32});
  std::vector<std::uint8_t> image = PatternBytes(300);
  EXPECT_EQ(UpdateFirmware(*rig.shell, rig.WriteImage(image).c_str()), 1);
  EXPECT_EQ(rig.shell->exitCode, kUpdateSucceeded);
  EXPECT_EQ(rig.shell->engine.pageSize, 0);
  const std::string progress = "Firmware update in progress...\npagesize ";
  const std::string success = "Firmware update successful.\nPlease re-plug the device.";
  // The range is the image's pages at each size: 300 / 64 and 300 / 32.
  EXPECT_EQ(BarAndPaint(rig.ui), (Lines{"bar create", "bar range 4", "bar pos 0", "paint " + progress + "64",
                                        "bar range 9", "bar pos 0", "paint " + progress + "32", "bar destroy"}));
  EXPECT_EQ(rig.ui.Outputs(), (Lines{progress + "64", progress + "32", success}));
  EXPECT_EQ(rig.ui.Boxes(), (Lines{"[OK] 50040 " + success}));
  EXPECT_TRUE(std::equal(image.begin(), image.end(), rig.Eeprom().begin()));
  EXPECT_EQ(rig.ui.steps, 8);  // pages 32 to 256; the first page, written last, takes no step

  ShellRig failing(GetParam(), {.writeLimit = 4});
  EXPECT_EQ(UpdateFirmware(*failing.shell, failing.WriteImage(PatternBytes(100)).c_str()), 0);
  EXPECT_EQ(failing.shell->exitCode, kUpdateProgrammingFailed);
  EXPECT_EQ(failing.shell->engine.pageSize, 4);
  EXPECT_EQ(failing.ui.Outputs(), (Lines{progress + "64", progress + "32", progress + "16", progress + "8",
                                         "Could not program Firmware Image."}));
  EXPECT_EQ(failing.ui.Boxes(), (Lines{"[-] 50010 Could not program Firmware Image."}));

  // A part with 16-byte pages wraps the larger page writes onto themselves, which only the
  // read-back sees.
  ShellRig wrapping(GetParam(), {.pageSize = 16});
  EXPECT_EQ(UpdateFirmware(*wrapping.shell, wrapping.WriteImage(image).c_str()), 1);
  EXPECT_EQ(wrapping.ui.Outputs().at(2), progress + "16");
  EXPECT_TRUE(std::equal(image.begin(), image.end(), wrapping.Eeprom().begin()));
}

TEST_P(Procedures, ClearSucceedsOrFailsAtEveryPageSize) {
  ShellRig rig(GetParam(), {}, 256);
  rig.settings.subaddressing = 1;
  rig.Eeprom() = PatternBytes(256);
  EXPECT_EQ(ClearEeprom(*rig.shell), 1);
  EXPECT_EQ(rig.Eeprom(), std::vector<std::uint8_t>(256, 0xFF));
  EXPECT_EQ(BarAndPaint(rig.ui), (Lines{"bar create", "bar range 4", "bar pos 0",
                                        "paint EEPROM clear in progress ...\npagesize 64", "bar destroy"}));
  EXPECT_EQ(rig.ui.steps, 4);
  EXPECT_EQ(rig.ui.Boxes(), (Lines{"[OK] 50040 EEPROM clearing successful"}));
  if (GetParam() == Interface::Hid) {
    EXPECT_FALSE(rig.shell->engine.hidDevice->IsOpen());
  }

  // HID writes carry no status: only the read-back shows that nothing was written.
  ShellRig failing(GetParam(), {.writeLimit = 4});
  failing.Eeprom() = PatternBytes(16384);
  EXPECT_EQ(ClearEeprom(*failing.shell), 0);
  EXPECT_EQ(BarAndPaint(failing.ui)[1], "bar range 256");  // 16384 / 64
  EXPECT_EQ(failing.ui.Outputs().size(), 5u);              // page sizes 64, 32, 16, 8, then the message
  EXPECT_EQ(failing.ui.Boxes(), (Lines{"[-] 50010 Could not clear EEPROM"}));
}

TEST_P(Procedures, ReadOutTakesTheHeaderSizeOrFallsBackToTheManualOne) {
  ShellRig rig(GetParam());
  std::vector<std::uint8_t> image = PatternBytes(512);
  image[9] = 0x00, image[10] = 0x10, image[11] = 0x01, image[12] = 0xF0;  // 16 + 496
  std::copy(image.begin(), image.end(), rig.Eeprom().begin());
  std::string file = rig.dir.File("out.hex");
  EXPECT_EQ(ReadOutFirmware(*rig.shell, file.c_str()), 1);
  EXPECT_EQ(BarAndPaint(rig.ui), (Lines{"bar create", "bar range 32", "bar pos 0",
                                        "paint Firmware download in progress...\nReading 512 Bytes"}));
  EXPECT_EQ(rig.ui.steps, 32);
  EXPECT_EQ(rig.ui.Boxes(), (Lines{"[OK] 50040 Firmware download successful."}));

  ShellRig blank(GetParam());
  EXPECT_EQ(ReadOutFirmware(*blank.shell, file.c_str()), 1);
  EXPECT_EQ(blank.settings.readSize, 256);
  EXPECT_EQ(blank.ui.Boxes().front(),
            "[OK] 50010 Header illegal (more than 16384 or 0 Bytes) or EEProm empty.\nUsing manual setting\n"
            "Reading 256 Bytes");
}

// The lengths of the bus reads after the EEPROM probe, each failed one marked x.
std::string ReadsAfterTheProbe(const Lines& trace) {
  std::string reads;
  bool probed = false;
  for (const std::string& line : trace) {
    if (line.find(" bus-read ") == std::string::npos) continue;
    if (!std::exchange(probed, true)) continue;
    std::size_t at = line.find(" len=") + 5;
    reads += (reads.empty() ? "" : " ") + line.substr(at, line.find(' ', at) - at) +
             (line.find("result=fail") != std::string::npos ? "x" : "");
  }
  return reads;
}

// The read-out reads 64 bytes a bus read; a block that fails starts it over in blocks of
// 16, then of 8, while the file keeps lines of 16 bytes (of 8 in 8-byte blocks). The probe
// reads 64 bytes, which the refused lengths spare.
TEST_P(Procedures, ReadOutFallsBackFromSixtyFourByteBlocksToSixteenThenEight) {
  const struct {
    std::uint32_t refused;
    std::uint16_t size;
    const char* reads;  // the read-out's bus reads, x for a failed one
    std::size_t lines;
  } cases[] = {
      {0, 100, "64 36", 7},
      {36, 100, "64 36x 16 16 16 16 16 16 4", 7},
      {16, 16, "16x 16x 8 8", 2},
      {8, 8, "8x 8x 8x", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reads);
    ShellRig rig(GetParam(), {.refuseReadLength = c.refused});
    rig.Eeprom() = PatternBytes(16384);
    rig.settings.readSizeAuto = 0;
    rig.settings.readSize = c.size;
    std::string file = rig.dir.File("out.hex");
    EXPECT_EQ(ReadOutFirmware(*rig.shell, file.c_str()), c.lines > 0 ? 1 : 0);
    EXPECT_EQ(ReadsAfterTheProbe(rig.Trace()), c.reads);
    if (c.lines == 0) {
      EXPECT_EQ(rig.ui.Boxes(), (Lines{"[OK] 50010 Could not read EEPROM"}));
      continue;
    }
    std::string text = test::ReadFile(file);
    EXPECT_EQ(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')), c.lines);
    std::vector<std::uint8_t> loaded(c.size);
    EXPECT_EQ(ReadImageFile(file.c_str(), loaded.data(), c.size), c.size);
    EXPECT_TRUE(std::equal(loaded.begin(), loaded.end(), rig.Eeprom().begin()));
  }

  ShellRig unplugged(GetParam(), {.failAfter = GetParam() == Interface::Hid ? 1u : 2u});  // gone after the probe
  unplugged.settings.readSizeAuto = 0;
  EXPECT_EQ(ReadOutFirmware(*unplugged.shell, unplugged.dir.File("out.hex").c_str()), 0);
  EXPECT_EQ(unplugged.ui.Boxes(), (Lines{"[OK] 50010 Could not read EEPROM"}));
}

// A board that stops answering between the connection and the reboot request has not
// been rebooted: the window program stays silent, the console names it.
TEST_P(Procedures, ARebootThatDoesNotArriveIsAFailure) {
  for (RefusalReport refusal : {RefusalReport::Silent, RefusalReport::Message}) {
    ShellRig rig(GetParam(), {.failAfter = GetParam() == Interface::Hid ? 0u : 1u});
    EXPECT_FALSE(RebootCommand(*rig.shell, 2, refusal));
    EXPECT_EQ(rig.shell->tally.outcome, kUpdateNoDevice);
    EXPECT_EQ(rig.ui.Boxes(), refusal == RefusalReport::Silent ? Lines{}
                                                               : Lines{"[-] 50010 Could not find installed device."});
  }
}

INSTANTIATE_TEST_SUITE_P(EachInterface, Procedures,
                         ::testing::Values(Interface::Hid, Interface::FilterDriver, Interface::WinUsb),
                         [](const ::testing::TestParamInfo<Interface>& info) { return test::NameOf(info.param); });

// Every pause of a procedure falls inside a 1 ms system timer it asked for, and the
// timer is given back however the procedure ends.
TEST(Procedures, HoldAFineSystemTimerForTheirWholeRun) {
  using Run = bool (*)(ShellRig& rig);
  const Run runs[] = {
      [](ShellRig& rig) { return UpdateFirmware(*rig.shell, rig.WriteImage(PatternBytes(100)).c_str()) == 1; },
      [](ShellRig& rig) { return ReadOutFirmware(*rig.shell, rig.dir.File("out.hex").c_str()) == 1; },
      [](ShellRig& rig) { return ClearEeprom(*rig.shell) == 1; },
      [](ShellRig& rig) {
        rig.settings.eepromAddress = 0x50;  // nobody answers the probe
        return UpdateFirmware(*rig.shell, nullptr) == 0;
      },
  };
  for (Run run : runs) {
    ShellRig rig(Interface::WinUsb, {}, 256);
    rig.settings.subaddressing = 1;
    EXPECT_TRUE(run(rig));
    EXPECT_GT(rig.os.SleepCount(), 0u);
    EXPECT_EQ(rig.os.SleepsAtDefaultPeriod(), 0u);
    EXPECT_EQ(rig.os.TimerPeriodRequests(), 1u);
    EXPECT_TRUE(rig.os.HeldTimerPeriods().empty());
  }
}

// A procedure keeps the request lock between its requests; once it ends, the lock is free
// for another holder of its name.
TEST(Procedures, LeaveTheRequestLockFreeWhenTheyEnd) {
  for (Interface interface : {Interface::FilterDriver, Interface::WinUsb}) {
    SCOPED_TRACE(test::NameOf(interface));
    ShellRig rig(interface, {}, 256);
    rig.settings.subaddressing = 1;
    ASSERT_EQ(ClearEeprom(*rig.shell), 1);
    QorvDevice* device = rig.library.FindByHandle(rig.context.currentDevice);
    ASSERT_NE(device, nullptr);
    std::uint32_t lastError = 0;
    auto other = rig.os.CreateMutexA(
        QorvDevice::MutexName(device->GetInstanceId(), rig.library.TerminalServices()).c_str(), lastError);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other->Wait(0), kWaitObject0);
    other->Release();
  }
}

TEST(Procedures, ARequestLockThatCannotBeTakenIsReportedAsSuch) {
  ShellRig rig(Interface::FilterDriver);
  ASSERT_TRUE(ConnectDevice(rig.shell->engine));
  QorvDevice* device = rig.library.FindByHandle(rig.context.currentDevice);
  OtherHolder other(rig.os, QorvDevice::MutexName(device->GetInstanceId(), rig.library.TerminalServices()));
  EXPECT_EQ(UpdateFirmware(*rig.shell, nullptr), 0);
  EXPECT_EQ(rig.shell->exitCode, kUpdateNoDevice);
  EXPECT_EQ(rig.ui.Boxes(), (Lines{"[-] 50010 Could not lock the device."}));
}

// A lock the system will not give at all: the console names it, whichever lock it is,
// while the window program keeps its texts (over WinUSB, whose requests take the lock
// before the device can answer, that no device was found).
TEST(Procedures, ALockThatCannotBeTakenIsNamedOnTheConsole) {
  for (Interface face : {Interface::Hid, Interface::FilterDriver, Interface::WinUsb}) {
    for (bool console : {false, true}) {
      SCOPED_TRACE(std::string(test::NameOf(face)) + (console ? " console" : " window"));
      ShellRig rig(face);
      rig.os.mutexesFail = true;
      rig.shell->namesLocks = console;
      EXPECT_EQ(ClearEeprom(*rig.shell), 0);
      EXPECT_EQ(rig.shell->tally.outcome, kUpdateNoDevice);
      std::string lockName = face == Interface::WinUsb
                                 ? QorvDevice::MutexName(rig.stack.Interface(1).instanceId.c_str(),
                                                         rig.library.TerminalServices())
                                 : ProcedureLockName(rig.shell->engine);
      std::string expected = console                     ? "Could not lock the device.\nThe lock \"" + lockName +
                                                                "\" could not be taken."
                             : face == Interface::WinUsb ? "Could not find installed device."
                                                         : "Could not lock the device.";
      EXPECT_EQ(rig.ui.Boxes(), (Lines{"[-] 50010 " + expected}));
    }
  }
}

// Named by its serial number, or by its port when it has none, the lock is the board's
// on every interface; never an interface's path.
TEST(Procedures, TheProcedureLockNamesTheBoardNotTheInterface) {
  const std::string serial = test::UniqueSerial();
  const std::string port = test::UniquePort();
  const struct {
    std::string serial;
    std::string name;
  } cases[] = {{serial, "Global\\tessora_VID_3E9A&PID_0210#" + serial},
               {"", "Global\\tessora_VID_3E9A&PID_0210@" + port},
               {"unknown", "Global\\tessora_VID_3E9A&PID_0210@" + port}};
  for (const auto& c : cases) {
    ShellRig rig;
    rig.stack.AttachBoard(rig.boards.emplace_back(sim::BoardConfig{}, std::vector<std::uint8_t>(256, 0xFF)),
                          {.serial = c.serial, .port = port});
    for (Interface face : {Interface::Hid, Interface::FilterDriver, Interface::WinUsb}) {
      rig.Use(face);
      ASSERT_TRUE(ConnectDevice(rig.shell->engine));
      EXPECT_EQ(ProcedureLockName(rig.shell->engine), c.name) << test::NameOf(face);
    }
  }
}

// Where the stack finds no USB device above a HID interface, as under Wine, the serial
// number the interface reports names the board, in its lock and in its result: two such
// boards would otherwise share one lock and refuse each other.
TEST(Procedures, AHidBoardTheStackCannotNameIsNamedByTheSerialNumberItReports) {
  const std::string unique = test::UniqueSerial();
  const std::string serial = "QV" + unique.substr(unique.size() - 12);  // what the HID device object keeps whole
  ShellRig rig;
  rig.stack.AttachBoard(rig.boards.emplace_back(sim::BoardConfig{}, std::vector<std::uint8_t>(256, 0xFF)),
                        {.serial = serial, .port = test::UniquePort()});
  sim::SimInterface& hid = rig.stack.Interface(0);
  ASSERT_EQ(hid.kind, sim::InterfaceKind::Hid);
  hid.usbSerial.clear();
  hid.usbPort.clear();
  rig.Use(Interface::Hid);
  ASSERT_TRUE(ConnectDevice(rig.shell->engine));
  EXPECT_EQ(ProcedureLockName(rig.shell->engine), "Global\\tessora_VID_3E9A&PID_0210#" + serial);
  EXPECT_EQ(ConnectedBoard(rig.shell->engine).serial, serial);
}

// Two programs, each with a device stack of its own, one over HID and one over WinUSB:
// while the first holds its board, the second is refused on that board and runs on any
// other.
TEST(Procedures, ASecondProgramIsRefusedOnTheSameBoardWhateverItsInterface) {
  const std::string serial = test::UniqueSerial() + "-01";  // 24 characters
  const std::string lastDiffers = serial.substr(0, serial.size() - 1) + "2";
  const std::string portA = test::UniquePort();
  const std::string portB = test::UniquePort();
  const struct {
    const char* name;
    sim::BoardIdentity first;
    sim::BoardIdentity second;  // the first board's own when the same
  } cases[] = {
      {"one board with a serial number", {.serial = serial, .port = portA}, {.serial = serial, .port = portA}},
      {"one board without", {.serial = "", .port = portA}, {.serial = "", .port = portA}},
      {"two boards without", {.serial = "", .port = portA}, {.serial = "", .port = portB}},
      {"two boards whose serials differ last", {.serial = serial, .port = portA}, {.serial = lastDiffers, .port = portB}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    bool sameBoard = c.first.port == c.second.port;
    ShellRig first;
    ShellRig second;
    first.Use(Interface::Hid);
    second.Use(Interface::WinUsb);
    sim::SimBoard& board = first.boards.emplace_back(sim::BoardConfig{}, std::vector<std::uint8_t>(256, 0xFF));
    first.stack.AttachBoard(board, c.first);
    second.stack.AttachBoard(
        sameBoard ? board : second.boards.emplace_back(sim::BoardConfig{}, std::vector<std::uint8_t>(256, 0xFF)),
        c.second);
    second.settings.subaddressing = 1;
    ASSERT_TRUE(ConnectDevice(first.shell->engine));
    OtherHolder other(first.os, ProcedureLockName(first.shell->engine));
    EXPECT_EQ(UpdateFirmware(*second.shell, second.WriteImage(PatternBytes(64)).c_str()), sameBoard ? 0 : 1);
    EXPECT_EQ(second.ui.Boxes().back(), sameBoard ? "[-] 50010 Device in use by another Tessora."
                                                  : "[OK] 50040 Firmware update successful.\nPlease re-plug the device.");
  }
}

// With output and input reports, a device whose output reports are shorter than 33
// bytes is not taken for the controller.
TEST(Procedures, ReadWriteReportsNeedRoomForTheLongestRequest) {
  for (std::uint16_t length : {32, 33}) {
    ShellRig rig(Interface::Hid, {.outputReportLength = length});
    rig.settings.hidUseFeature = 0;
    EXPECT_EQ(RebootCommand(*rig.shell, 2), length == 33) << length;
  }
}

TEST(UpdateFirmware, ImageProblemsAreReportedWithTheirOutcomeCodes) {
  ShellRig rig(Interface::FilterDriver, {}, 256);
  std::string unreadable = test::WriteFile(rig.dir.File("bad.hex"), "01 zz\n");
  EXPECT_EQ(UpdateFirmware(*rig.shell, unreadable.c_str()), 0);
  EXPECT_EQ(rig.shell->exitCode, kUpdateUnreadableImage);
  EXPECT_EQ(rig.ui.Boxes().back(), "[-] 50010 Could not read Firmware Image.\n" + unreadable);

  // A name longer than the platform's paths is refused whole, never cut to another name.
  std::string longName(kFilePathSize, 'x');
  EXPECT_EQ(UpdateFirmware(*rig.shell, longName.c_str()), 0);
  EXPECT_EQ(rig.shell->exitCode, kUpdateUnreadableImage);
  EXPECT_EQ(rig.ui.Boxes().back().rfind("[-] 50010 Could not read Firmware Image.\n...xxx", 0), 0u);

  rig.settings.subaddressing = 1;
  EXPECT_EQ(UpdateFirmware(*rig.shell, rig.WriteImage(PatternBytes(257)).c_str()), 0);
  EXPECT_EQ(rig.shell->exitCode, kUpdateTooLargeForOneByte);
  EXPECT_EQ(rig.ui.Boxes().back(), "[OK] 50040 File to large for 1 Byte subaddressing");
  std::vector<std::uint8_t> whole = PatternBytes(256);
  EXPECT_EQ(UpdateFirmware(*rig.shell, rig.WriteImage(whole).c_str()), 1);
  EXPECT_EQ(rig.Eeprom(), whole);
}

// A 1-byte part holds 256 bytes: a read-out stops at the end rather than wrap around.
TEST(OneBytePart, ReadOutStopsAtByte255) {
  ShellRig rig(Interface::FilterDriver, {}, 256);
  rig.settings.subaddressing = 1;
  rig.settings.readSizeAuto = 0;
  rig.settings.readSize = 272;
  std::string file = rig.dir.File("out.hex");
  EXPECT_EQ(ReadOutFirmware(*rig.shell, file.c_str()), 1);
  std::vector<std::uint8_t> loaded(65535);
  EXPECT_EQ(ReadImageFile(file.c_str(), loaded.data(), 65535), 256);
  EXPECT_EQ(rig.ui.Outputs()[0],
            "Firmware download in progress...\nReading 256 Bytes (at most 256 with 1 Byte subaddressing)");
}

// A cancelled question leaves only the window text; a silent run shows no box and sends
// its texts to the debug output.
TEST(UpdateFirmware, CancelledQuestionAndSilentMode) {
  ShellRig rig(Interface::Hid);
  rig.shell->exitCode = 7;
  EXPECT_EQ(UpdateFirmware(*rig.shell, nullptr), 0);
  EXPECT_STREQ(rig.shell->statusText.data(), "Please select a valid Firmware Image.");
  EXPECT_EQ(rig.shell->exitCode, 7);
  EXPECT_EQ(ReadOutFirmware(*rig.shell, nullptr), 0);
  EXPECT_STREQ(rig.shell->statusText.data(), "Please select a valid filename.");
  EXPECT_EQ(rig.ui.questions, (std::vector<FileQuestion>{FileQuestion::Open, FileQuestion::Save}));

  rig.shell->silentMode = true;
  EXPECT_EQ(UpdateFirmware(*rig.shell, rig.WriteImage(PatternBytes(64)).c_str()), 1);
  EXPECT_TRUE(rig.ui.Boxes().empty());
  EXPECT_EQ(rig.os.debugLines,
            (Lines{"Firmware update in progress...\npagesize 64", "Firmware update successful.\nPlease re-plug the device."}));
}

}  // namespace
}  // namespace tessora

// The unmodified Windows programs of the windows64 build (and, where the kernel runs
// 32-bit programs, the windows build's tessora.exe) under Wine, against controllers that
// umockdev emulates behind hidraw nodes of this process with the simulated board's model
// answering: their SetupDi, HID.DLL and file calls go through Wine's own HID stack
// (hid.dll, hidclass.sys, winebus.sys over hidraw), which owes nothing to ours. WinUSB
// and the FilterDriver cannot be reached this way: Wine 8.0's winusb.dll is stubs and
// there is no filter driver. Wine's HID.DLL also gives a version number of 0 and counts
// a synchronous report write one byte short; neither reaches these programs, which read
// no version and move their reports as feature reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>

#include "engine/image_file.h"
#include "tests/linux/emulated_usb.h"
#include "tests/support/test_support.h"
#include "tests/wine_hid/wine_session.h"

namespace tessora::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Lines = std::vector<std::string>;
using enum sim::RebootMode;

const WindowsProgram kTessora{kWine64, TESSORA_WINE_PROGRAMS_64 "/tessora.exe"};
const WindowsProgram kConsole{kWine64, TESSORA_WINE_PROGRAMS_64 "/tessora-cli.exe"};
const WindowsProgram kTessora32{kWine32, TESSORA_WINE_PROGRAMS_32 "/tessora.exe"};
const std::string kFirmware = std::string(TESSORA_SOURCE_DIR) + "/examples/firmware.hex";

// The name the Linux HID core gives the controller (HID_NAME): maker and product.
constexpr char kHidName[] = "Velmora Qorvane USB Controller";
// Wine lists HID interfaces in the order of their paths, which start with the IDs: a
// controller with the maker's vendor ID (3E9A) comes before Wine's own mouse (845E:0001)
// and keyboard (845E:0002), the same controller sold under a vendor ID above 845E after
// them. Wine 8.0's wineusb.sys would open the USB devices' usbdevfs nodes and reap them
// without end (an emulated node is always writable), for nothing: it has no WinUSB.
EmulatedDevice Controller(sim::SimBoard& board, std::uint16_t vendorId, const std::string& serial) {
  return {.vendorId = vendorId, .serial = serial, .board = &board, .hidName = kHidName, .usbNode = false};
}

const Lines kSilentSuccess = {"Tessora - silent mode", "Firmware update in progress...\npagesize 64",
                              "Firmware update successful.\nPlease re-plug the device.", "Exit code: 1"};

Bytes ImageBytes(const std::string& path) {
  Bytes bytes(16384);
  bytes.resize(std::max(0, ReadImageFile(path.c_str(), bytes.data(), static_cast<int>(bytes.size()))));
  return bytes;
}

Bytes Head(sim::SimBoard& board, std::size_t size) {
  const Bytes& eeprom = board.EepromPart().Contents();
  return Bytes(eeprom.begin(), eeprom.begin() + static_cast<std::ptrdiff_t>(size));
}

// One HID line of `tessora-cli.exe --list`.
struct ListedHid {
  std::string ids;  // VID:PID
  std::string product;
  std::string serial;
  bool candidate = false;
  bool operator==(const ListedHid&) const = default;
};

void PrintTo(const ListedHid& listed, std::ostream* out) {
  *out << listed.ids << " \"" << listed.product << "\" " << listed.serial << (listed.candidate ? " candidate" : "");
}

// A Windows program ends its lines with CR LF.
Lines LinesOf(const std::string& text) {
  Lines lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<ListedHid> HidLines(const std::string& listing) {
  static const std::regex line(R"re(^hid +\S+ ([0-9a-f]{4}:[0-9a-f]{4}) "(.*)" (\S+) \S+ \S+( candidate)?$)re");
  std::vector<ListedHid> listed;
  std::smatch match;
  for (const std::string& text : LinesOf(listing))
    if (std::regex_match(text, match, line)) listed.push_back({match[1], match[2], match[3], match[4].matched});
  return listed;
}

std::string Describe(const WineRun& run) {
  std::string text = "exit status " + std::to_string(run.status) + "\n" + run.output + run.errors;
  for (const std::string& line : run.debugLines) text += "[debug] " + line + "\n";
  return text;
}

// The board's bus writes ("sub=0040 len=64 data=..."), and whether every request it
// served came over HID.
Lines BusWrites(const Lines& trace) {
  Lines writes;
  for (const std::string& line : trace)
    if (line.rfind("hid bus-write dev=51 ", 0) == 0) writes.push_back(line.substr(21, line.rfind(" result=") - 21));
  return writes;
}

bool AllOverHid(const Lines& trace) {
  return std::all_of(trace.begin(), trace.end(), [](const std::string& line) { return line.rfind("hid ", 0) == 0; });
}

// An update erases the header page first and writes it last, over HID alone.
void ExpectUpdateTrace(const Lines& trace, const Bytes& image) {
  Lines writes = BusWrites(trace);
  ASSERT_GE(writes.size(), 2u);
  EXPECT_TRUE(AllOverHid(trace));
  EXPECT_EQ(writes.front(), "sub=0000 len=64 data=" + std::string(128, 'f'));
  EXPECT_EQ(writes.back(), "sub=0000 len=64 data=" + sim::HexBytes(std::span(image).first(64)));
}

Lines Since(const Lines& trace, std::size_t start) {
  return Lines(trace.begin() + static_cast<std::ptrdiff_t>(start), trace.end());
}

class WineHidTest : public ::testing::Test {
 protected:
  // Before the cases and outside their watchdog: a new prefix takes up to a minute.
  static void SetUpTestSuite() { EXPECT_EQ(WinePrefix::Prepare(TESSORA_WINE_HID_PREFIX), ""); }

  // Wine's drivers add the devices they find while the first programs run, so the
  // listing is read again until it shows every HID interface expected. Then HID is the
  // interface the programs' settings select.
  WineRun StartUsing(const WineSession& wine, std::size_t hidInterfaces) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    WineRun listing;
    do listing = wine.Run(kConsole, {"--list"});
    while (HidLines(listing.output).size() < hidInterfaces && std::chrono::steady_clock::now() < deadline);
    WineRun save = wine.Run(kConsole, {"--save", "--interface", "hid"});
    EXPECT_EQ(save.status, 0) << Describe(save);
    return listing;
  }

  WinePrefix prefix{TESSORA_WINE_HID_PREFIX};
  const Bytes image = ImageBytes(kFirmware);
  const std::string firmware = WindowsPath(kFirmware);
};

// tessora.exe takes the first controller that answers, as a factory line runs it: A,
// then, once A is unplugged in the middle of an update, B, past Wine's mouse and keyboard.
TEST_F(WineHidTest, SilentUpdatesTakeTheFirstControllerThatAnswersPastWinesMouseAndKeyboard) {
  sim::SimBoard boardA{{}, Bytes(16384, 0xFF)};
  sim::SimBoard boardB{{}, Bytes(16384, 0xFF)};
  EmulatedUsb usb{{Controller(boardA, 0x3E9A, "QV000001"), Controller(boardB, 0xC0DE, "QV000002")}};
  WineSession wine(prefix, usb);
  ASSERT_EQ(wine.Problem(), "");
  WineRun listing = StartUsing(wine, 4);
  // Wine's HID.DLL gives the HID core's name (HID_NAME) as the product string, where
  // Windows gives the USB device's product string ("Qorvane USB Controller").
  ASSERT_EQ(HidLines(listing.output), (std::vector<ListedHid>{{"3e9a:0210", kHidName, "QV000001", true},
                                                              {"845e:0001", "Wine HID mouse", "0000", false},
                                                              {"845e:0002", "Wine HID keyboard", "0000", false},
                                                              {"c0de:0210", kHidName, "QV000002", true}}))
      << listing.output;

  WineRun update = wine.Run(kTessora, {"-s", firmware});
  EXPECT_EQ(update.status, 0) << Describe(update);
  EXPECT_EQ(update.debugLines, kSilentSuccess);
  EXPECT_EQ(Head(boardA, image.size()), image);
  ExpectUpdateTrace(boardA.TraceLines(), image);

  boardA.MutableConfig().failAfter = static_cast<int>(boardA.TraceLines().size()) + 12;
  WineRun unplugged = wine.Run(kTessora, {"-s", firmware});
  EXPECT_EQ(unplugged.status, 1) << Describe(unplugged);
  ASSERT_GE(unplugged.debugLines.size(), 2u);
  EXPECT_EQ(Lines(unplugged.debugLines.end() - 2, unplugged.debugLines.end()),
            (Lines{"Could not program Firmware Image.", "Exit code: -5"}));
  EXPECT_FALSE(boardA.Present());
  EXPECT_EQ(Head(boardA, 64), Bytes(64, 0xFF));  // the header page erased: the board starts from its ROM

  EXPECT_TRUE(boardB.TraceLines().empty());
  WineRun next = wine.Run(kTessora, {"-s", firmware});
  EXPECT_EQ(next.status, 0) << Describe(next);
  EXPECT_EQ(next.debugLines, kSilentSuccess);
  EXPECT_EQ(Head(boardB, image.size()), image);
  ExpectUpdateTrace(boardB.TraceLines(), image);
}

// tessora-cli.exe over two controllers: --list, one named with --device for every
// command, and --all.
TEST_F(WineHidTest, ConsoleProgramListsNamesOneAndTakesAllOfTwoControllers) {
  sim::SimBoard boardA{{}, Bytes(16384, 0xFF)};
  sim::SimBoard boardB{{}, Bytes(16384, 0xFF)};
  EmulatedUsb usb{{Controller(boardA, 0x3E9A, "QV000001"), Controller(boardB, 0xC0DE, "QV000002")}};
  WineSession wine(prefix, usb);
  ASSERT_EQ(wine.Problem(), "");
  WineRun listing = StartUsing(wine, 4);
  ASSERT_EQ(HidLines(listing.output).size(), 4u) << listing.output;
  EXPECT_TRUE(boardA.TraceLines().empty() && boardB.TraceLines().empty());  // listing sends nothing

  WineRun refused = wine.Run(kConsole, {"--clear"});
  EXPECT_EQ(refused.status, 2) << Describe(refused);
  EXPECT_NE(refused.errors.find("  --device \\\\?\\hid#vid_c0de&pid_0210#0&qv000002&0&0#"), std::string::npos)
      << refused.errors;

  TempDir files;
  const std::string readOut = files.File("read-out.hex");
  // No USB device sits above Wine's HID devices: the stack tells no port, and a board is
  // named by the serial number its HID interface reports (Windows: "QV000002 (port ...)").
  const struct {
    Lines command;
    std::string says;
    bool holdsImage;      // board B's EEPROM afterwards; else blank
    std::string traced;   // a request the run sends; empty: any
    bool writes;          // whether it writes the EEPROM
    std::vector<sim::RebootMode> reboots;  // board B's, so far
  } steps[] = {
      {{"-s", firmware}, "QV000002: succeeded", true, "", true, {}},
      {{"--read-out", WindowsPath(readOut)}, "Firmware download successful.", true, "", false, {}},
      {{"--reboot", "rom"}, "restarts from its ROM", true, "hid reboot mode=rom", false, {Rom}},
      {{"--reboot", "eeprom"}, "QV000002: succeeded", true, "hid reboot mode=eeprom", false, {Rom, Eeprom}},
      {{"--clear"}, "EEPROM clearing successful", false, "", true, {Rom, Eeprom}},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.command[0]);
    Lines arguments = {"--device", "QV000002"};
    arguments.insert(arguments.end(), step.command.begin(), step.command.end());
    const std::size_t before = boardB.TraceLines().size();
    WineRun run = wine.Run(kConsole, arguments);
    EXPECT_EQ(run.status, 0) << Describe(run);
    EXPECT_NE((run.output + run.errors).find(step.says), std::string::npos) << Describe(run);
    EXPECT_EQ(Head(boardB, image.size()), step.holdsImage ? image : Bytes(image.size(), 0xFF));
    const Lines trace = Since(boardB.TraceLines(), before);
    EXPECT_FALSE(trace.empty());
    EXPECT_TRUE(AllOverHid(trace));
    EXPECT_EQ(!BusWrites(trace).empty(), step.writes);
    if (!step.traced.empty()) {
      EXPECT_NE(std::find(trace.begin(), trace.end(), step.traced), trace.end());
    }
    EXPECT_EQ(boardB.Reboots(), step.reboots);
  }
  EXPECT_EQ(ImageBytes(readOut), image);
  EXPECT_TRUE(boardA.TraceLines().empty());

  WineRun all = wine.Run(kConsole, {"--all", "-s", firmware});
  EXPECT_EQ(all.status, 0) << Describe(all);
  EXPECT_NE(all.output.find("2 of 2 boards succeeded"), std::string::npos) << Describe(all);
  EXPECT_EQ(Head(boardA, image.size()), image);
  EXPECT_EQ(Head(boardB, image.size()), image);
}

// Nothing but Wine's own mouse and keyboard: the silent update passes over both and ends
// with outcome -1.
TEST_F(WineHidTest, WithoutAControllerTheSilentUpdateFindsNoDevice) {
  EmulatedUsb usb{{}};
  WineSession wine(prefix, usb);
  ASSERT_EQ(wine.Problem(), "");
  WineRun listing = StartUsing(wine, 2);
  ASSERT_EQ(HidLines(listing.output).size(), 2u) << listing.output;
  WineRun update = wine.Run(kTessora, {"-s", firmware});
  EXPECT_EQ(update.status, 1) << Describe(update);
  EXPECT_EQ(update.debugLines, (Lines{"Tessora - silent mode", "Could not find installed device.", "Exit code: -1"}));
}

// The 32-bit program of record, through Wine's 32-bit HID.DLL and SETUPAPI in the 64-bit
// prefix (WoW64), to the same 64-bit drivers.
TEST_F(WineHidTest, The32BitProgramUpdatesTheController) {
  // As for the windows preset's tests, scripts/test.sh's switch to try the path of a
  // machine without 32-bit programs.
  const char* only64 = std::getenv("TESSORA_WINDOWS_64_ONLY");
  if (only64 != nullptr && std::string(only64) == "1") GTEST_SKIP() << "TESSORA_WINDOWS_64_ONLY=1";
  ChildRun loader = RunChild({kWine32, "--version"}, prefix.Environment(), std::chrono::seconds(30));
  if (loader.status != 0)
    GTEST_SKIP() << kWine32 << " does not run (a kernel without 32-bit programs?): " << loader.errors;
  if (!std::filesystem::exists(kTessora32.path)) GTEST_SKIP() << kTessora32.path << " not built (windows preset)";
  sim::SimBoard board{{}, Bytes(16384, 0xFF)};
  EmulatedUsb usb{{Controller(board, 0x3E9A, "QV000001")}};
  WineSession wine(prefix, usb);
  ASSERT_EQ(wine.Problem(), "");
  StartUsing(wine, 3);
  WineRun update = wine.Run(kTessora32, {"-s", firmware});
  EXPECT_EQ(update.status, 0) << Describe(update);
  EXPECT_EQ(update.debugLines, kSilentSuccess);
  EXPECT_EQ(Head(board, image.size()), image);
  ExpectUpdateTrace(board.TraceLines(), image);
}

}  // namespace
}  // namespace tessora::test

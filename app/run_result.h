#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/shell_context.h"
#include "engine/compare_eeprom.h"

namespace tessora {

// The result of one command on one board, as a script reads it: one per board and run,
// so a run over several boards fills one each. Plain data; RunResultJson writes it.
// Empty texts are written as null.
struct RunResult {
  std::string command;        // update, update-changed, verify, read-out, clear, reboot, list
  std::string device;         // the path of the device that answered; empty when none did
  std::string serial;         // the USB device's serial number and where it is plugged in,
  std::string port;           // as the system tells them
  std::string interfaceName;  // hid, filterdriver, winusb
  // 1 success; -1 to -5 as the update's exit codes; -6 verify found differences; -7
  // stopped; none when the command line was refused before any procedure.
  std::optional<int> outcomeCode;
  std::string outcomeText;    // the last message, as the program showed it
  std::string format;         // text, ihex, bin: the image file's; empty when the command has none
  std::string image;          // the image file read or written, and its content's SHA-256
  std::string imageSha256;
  std::uint32_t bytes = 0;
  std::uint32_t pages = 0;
  std::uint32_t pagesSkipped = 0;  // an update of changed pages: the pages found as the image has them
  int pageSize = 0;
  double seconds = 0;
  int exitStatus = 0;         // the program's exit status for this board alone
  std::string toolVersion;    // the program's version and the commit it was built from
  std::optional<ImageMismatch> firstMismatch;
};

// The board a procedure reached: its interface's path, and the USB device's serial
// number and place; all empty when no device answered.
struct BoardIdentity {
  std::string path;
  std::string serial;
  std::string port;
};
BoardIdentity ConnectedBoard(EngineContext& engine);

// "SERIAL (port PORT)", the parts known, else the path: how a result line names a board.
std::string BoardLabel(const BoardIdentity& board);

// hid, filterdriver or winusb: the interface the settings select, as results name it.
const char* InterfaceKey(const Settings& settings);

// The shell's account of its last procedure, and the device and interface it used.
RunResult ResultOfProcedure(ShellContext& shell, std::string command, double seconds);

// One JSON object on one line, without a line end; keys as the members are named, in
// snake case.
std::string RunResultJson(const RunResult& result);

// text as a JSON string, quotes included: control characters, quotes and backslashes
// escaped; other bytes passed through (the texts are UTF-8).
std::string JsonString(std::string_view text);


}  // namespace tessora

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
struct RunResult {
  std::string command;        // update, update-changed, verify, read-out, clear, reboot
  std::string device;         // the path of the device that answered; empty when none did
  std::string interfaceName;  // hid, filterdriver, winusb
  int outcomeCode = 0;        // 1 success; -1 to -5 as the update's exit codes; -6 verify found differences
  std::string outcomeText;    // the last message, as the program showed it
  std::string format;         // text, ihex, bin: the image file's; empty when the command has none
  std::uint32_t bytes = 0;
  std::uint32_t pages = 0;
  int pageSize = 0;
  double seconds = 0;
  std::string toolVersion;    // the program's version and the commit it was built from
  std::optional<ImageMismatch> firstMismatch;
};

// The shell's account of its last procedure, and the device and interface it used.
RunResult ResultOfProcedure(ShellContext& shell, std::string command, double seconds);

// One JSON object on one line, without a line end; keys as the members are named, in
// snake case.
std::string RunResultJson(const RunResult& result);

// text as a JSON string, quotes included: control characters, quotes and backslashes
// escaped; other bytes passed through (the texts are UTF-8).
std::string JsonString(std::string_view text);

// The path of the device the engine talks to; empty when none is open.
std::string ConnectedDevicePath(EngineContext& engine);

}  // namespace tessora

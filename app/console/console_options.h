#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/image_format.h"

namespace tessora {

enum class ConsoleAction { None, Help, Version, ReadOut, Verify, Clear, Reboot, List, UdevRule };

// What the console program was asked: leading long options, then the system's own
// command line (the remaining arguments joined with single blanks).
struct ConsoleRequest {
  ConsoleAction action = ConsoleAction::None;
  std::string readOutFile;
  std::string verifyFile;
  std::optional<ImageFormat> format;  // unset: read by content, written as text
  bool updateChanged = false;         // the update writes only the pages that differ
  bool json = false;                  // one JSON result on standard output, nothing else there
  bool debug = false;                 // debug lines on standard error even on the terminal
  bool quiet = false;                 // errors only, on standard error
  int rebootMode = 0;  // 1 from the EEPROM, 2 forced ROM boot
  std::optional<std::string> deviceInterface;  // hid, filterdriver, winusb
  std::optional<std::uint8_t> address;     // 7-bit bus address
  std::optional<int> subaddressing;        // 1 or 2
  std::optional<std::uint16_t> readSize;   // 0: from the EEPROM header ("auto"), else bytes
  std::optional<std::string> device;       // --device: path, serial number or usb:BUS-PORT
  bool allBoards = false;                  // --all: every controller at once
  bool station = false;                    // --station: each controller as it is plugged in, until stopped
  bool save = false;                       // --save: the settings options are stored for later runs too
  std::optional<std::string> logFile;      // --log: a line per board appended to this file
  bool imageFromStandardStream = false;    // the image file named "-": a copy of standard input, or standard output
  std::string commandLine;

  bool GivesSettings() const { return deviceInterface || address || subaddressing || readSize; }
};

// False with a reason for arguments the program does not take.
bool ParseConsoleArguments(const std::vector<std::string>& arguments, ConsoleRequest& request, std::string& error);

}  // namespace tessora

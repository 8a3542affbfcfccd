#include "app/console/console_options.h"

#include <charconv>

#include "app/command_line.h"
#include "engine/settings.h"

namespace tessora {

namespace {

// The whole text as a number in the base, or nothing: a script's typo is refused, never
// read in part.
std::optional<unsigned int> WholeNumber(const std::string& text, int base) {
  unsigned int value = 0;
  const char* end = text.data() + text.size();
  auto [stop, problem] = std::from_chars(text.data(), end, value, base);
  if (text.empty() || problem != std::errc() || stop != end) return std::nullopt;
  return value;
}

std::optional<std::uint8_t> BusAddress(const std::string& text) {
  bool prefixed = text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0;
  std::optional<unsigned int> address = WholeNumber(prefixed ? text.substr(2) : text, 16);
  if (!address || *address > kLargestBusAddress) return std::nullopt;
  return static_cast<std::uint8_t>(*address);
}

std::optional<std::uint16_t> ReadSize(const std::string& text) {
  if (text == "auto") return 0;
  std::optional<unsigned int> size = WholeNumber(text, 10);
  if (!size || *size == 0 || *size > static_cast<unsigned int>(MaxEepromSize)) return std::nullopt;
  return static_cast<std::uint16_t>(*size);
}

bool SetAction(ConsoleRequest& request, ConsoleAction action, std::string& error) {
  if (request.action != ConsoleAction::None && request.action != action) {
    error = "give one of --read-out, --verify, --clear and --reboot at a time";
    return false;
  }
  request.action = action;
  return true;
}

bool TakeOption(const std::string& name, const std::string& value, ConsoleRequest& request, std::string& error) {
  if (name == "--read-out") {
    request.readOutFile = value;
    if (!value.empty()) return SetAction(request, ConsoleAction::ReadOut, error);
    error = "--read-out needs a file name";
    return false;
  }
  if (name == "--verify") {
    request.verifyFile = value;
    if (!value.empty()) return SetAction(request, ConsoleAction::Verify, error);
    error = "--verify needs an image file";
    return false;
  }
  if (name == "--format") {
    ImageFormat format{};
    if (!ParseImageFormat(value, format)) return error = "--format takes text, ihex or bin", false;
    request.format = format;
    return true;
  }
  if (name == "--reboot") {
    if (value == "rom") request.rebootMode = 2;
    else if (value == "eeprom") request.rebootMode = 1;
    else return error = "--reboot takes rom or eeprom", false;
    return SetAction(request, ConsoleAction::Reboot, error);
  }
  if (name == "--interface") {
    if (value != "hid" && value != "filterdriver" && value != "winusb")
      return error = "--interface takes hid, filterdriver or winusb", false;
    request.deviceInterface = value;
    return true;
  }
  if (name == "--address") {
    request.address = BusAddress(value);
    if (!request.address) return error = "--address takes a 7-bit bus address in hex (0 to 7f, as 51 or 0x51)", false;
    return true;
  }
  if (name == "--subaddressing") {
    if (value != "1" && value != "2") return error = "--subaddressing takes 1 or 2", false;
    request.subaddressing = value == "1" ? 1 : 2;
    return true;
  }
  if (name == "--device") {
    if (value.empty()) return error = "--device needs a device path, serial number or usb:BUS-PORT", false;
    request.device = value;
    return true;
  }
  if (name == "--log") {
    if (value.empty()) return error = "--log needs a file name", false;
    request.logFile = value;
    return true;
  }
  if (name == "--read-size") {
    request.readSize = ReadSize(value);
    if (!request.readSize) return error = "--read-size takes auto or a number of bytes from 1 to 16384", false;
    return true;
  }
  error = "unknown option " + name;
  return false;
}

bool TakesValue(const std::string& name) {
  return name == "--read-out" || name == "--verify" || name == "--format" || name == "--reboot" ||
         name == "--interface" || name == "--address" || name == "--subaddressing" || name == "--read-size" ||
         name == "--device" || name == "--log";
}

// After the options only "-s" and the image file: "-h" or "-s --clear" would otherwise be
// taken for a file name and the update tried from it.
bool CheckCommandWord(const std::string& word, bool afterOptions, std::string& error) {
  if (afterOptions || word == "-s" || word.size() < 2 || word[0] != '-') return true;
  if (word.rfind("--", 0) == 0) error = "options come before -s and the image file: " + word;
  else error = "unknown option " + word;
  return false;
}

// --station updates each board as it comes: an image, and no other choice of boards.
bool CheckStation(const ConsoleRequest& request, std::string& error) {
  if (!request.station) return true;
  if (request.allBoards || request.device)
    return error = "--station takes every board as it comes: give neither --device nor --all", false;
  bool update = request.action == ConsoleAction::None && !request.commandLine.empty() && request.commandLine != "-s";
  if (!update) return error = "--station needs an image file to update each board from", false;
  return true;
}

// --all runs a procedure on every board; --device names the one board of any command.
bool CheckBoardChoice(const ConsoleRequest& request, std::string& error) {
  if (!request.allBoards) return true;
  if (request.device) return error = "give either --device or --all", false;
  bool procedure = request.action == ConsoleAction::ReadOut || request.action == ConsoleAction::Verify ||
                   request.action == ConsoleAction::Clear || request.action == ConsoleAction::Reboot ||
                   (request.action == ConsoleAction::None && !request.commandLine.empty() && request.commandLine != "-s");
  if (!procedure) return error = "--all needs an image file, --read-out, --verify, --clear or --reboot", false;
  if (request.action == ConsoleAction::ReadOut && request.readOutFile == "-")
    return error = "--all reads out one file per board: give a file name, not -", false;
  return true;
}

// The settings options are this run's; alone they would change nothing unless stored.
bool CheckSettingsChoice(const ConsoleRequest& request, std::string& error) {
  if (request.save && !request.GivesSettings())
    return error = "--save stores --interface, --address, --subaddressing and --read-size: give one", false;
  bool command = request.action != ConsoleAction::None || !request.commandLine.empty();
  if (request.GivesSettings() && !request.save && !command)
    return error = "--interface, --address, --subaddressing and --read-size apply to this run only: give a "
                   "command, or --save to store them",
           false;
  return true;
}

}  // namespace

bool ParseConsoleArguments(const std::vector<std::string>& arguments, ConsoleRequest& request, std::string& error) {
  std::size_t i = 0;
  bool afterOptions = false;  // "--" ends the options: what follows is a file name whatever it looks like
  for (; i < arguments.size() && (arguments[i].rfind("--", 0) == 0 || arguments[i] == "-q"); ++i) {
    std::string argument = arguments[i] == "-q" ? "--quiet" : arguments[i];
    if (argument == "--") {
      ++i;
      afterOptions = true;
      break;
    }
    if (argument == "--all" || argument == "--station") {
      (argument == "--all" ? request.allBoards : request.station) = true;
      continue;
    }
    if (argument == "--help" || argument == "--version" || argument == "--clear" || argument == "--list" ||
        argument == "--udev-rule") {
      ConsoleAction action = argument == "--help"      ? ConsoleAction::Help
                             : argument == "--version" ? ConsoleAction::Version
                             : argument == "--list"    ? ConsoleAction::List
                             : argument == "--udev-rule" ? ConsoleAction::UdevRule
                                                       : ConsoleAction::Clear;
      if (!SetAction(request, action, error)) return false;
      continue;
    }
    if (argument == "--update-changed" || argument == "--json" || argument == "--debug" || argument == "--save" ||
        argument == "--quiet") {
      bool& flag = argument == "--json"    ? request.json
                   : argument == "--debug" ? request.debug
                   : argument == "--save"  ? request.save
                   : argument == "--quiet" ? request.quiet
                                           : request.updateChanged;
      flag = true;
      continue;
    }
    std::string name = argument;
    std::string value;
    std::size_t equals = argument.find('=');
    if (equals != std::string::npos) {
      name = argument.substr(0, equals);
      value = argument.substr(equals + 1);
    } else if (TakesValue(name)) {
      if (i + 1 >= arguments.size()) return error = name + " needs a value", false;
      value = arguments[++i];
    }
    if (!TakeOption(name, value, request, error)) return false;
  }
  for (std::size_t first = i; i < arguments.size(); ++i) {
    if (!CheckCommandWord(arguments[i], afterOptions, error)) return false;
    request.commandLine += (i == first ? "" : " ") + arguments[i];
  }

  bool actionWithImage = request.action == ConsoleAction::ReadOut || request.action == ConsoleAction::Verify ||
                         request.action == ConsoleAction::Clear || request.action == ConsoleAction::Reboot;
  if (actionWithImage && !request.commandLine.empty() && request.commandLine != "-s") {
    error = "an image file cannot be given together with --read-out, --verify, --clear or --reboot";
    return false;
  }
  bool updates = request.action == ConsoleAction::None && !request.commandLine.empty() && request.commandLine != "-s";
  if (request.updateChanged && !updates) {
    error = "--update-changed goes with an image file to update from";
    return false;
  }
  bool listing = request.action == ConsoleAction::List || request.action == ConsoleAction::UdevRule;
  if (listing && !request.commandLine.empty()) {
    error = "--list and --udev-rule take no image file";
    return false;
  }
  // An empty name (a script's empty variable) would otherwise end the run as a success.
  StartCommand command = ParseStartCommandLine(request.commandLine.c_str(), NextUtf8Char);
  if (!actionWithImage && command.silent && command.fileName[0] == '\0') {
    error = "-s needs an image file name";
    return false;
  }
  return CheckStation(request, error) && CheckBoardChoice(request, error) && CheckSettingsChoice(request, error);
}

}  // namespace tessora

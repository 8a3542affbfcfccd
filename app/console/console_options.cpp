#include "app/console/console_options.h"

#include "app/command_line.h"
#include "app/options_rules.h"

namespace tessora {

namespace {

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
    unsigned int address = 0;
    if (!ReadAddressText(value, address) || address > kLargestBusAddress)
      return error = "--address takes a 7-bit hexadecimal bus address (0 to 7f)", false;
    request.address = value;
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
  if (name == "--read-size") {
    if (value.empty()) return error = "--read-size takes auto or a number of bytes", false;
    request.readSize = value;
    return true;
  }
  error = "unknown option " + name;
  return false;
}

bool TakesValue(const std::string& name) {
  return name == "--read-out" || name == "--verify" || name == "--format" || name == "--reboot" ||
         name == "--interface" || name == "--address" || name == "--subaddressing" || name == "--read-size" ||
         name == "--device";
}

// --all runs a procedure on every board; --device names the one board of any command.
bool CheckBoardChoice(const ConsoleRequest& request, std::string& error) {
  if (!request.allBoards) return true;
  if (request.device) return error = "give either --device or --all", false;
  bool procedure = request.action == ConsoleAction::ReadOut || request.action == ConsoleAction::Verify ||
                   request.action == ConsoleAction::Clear || request.action == ConsoleAction::Reboot ||
                   (request.action == ConsoleAction::None && !request.commandLine.empty() && request.commandLine != "-s");
  if (!procedure) return error = "--all needs an image file, --read-out, --verify, --clear or --reboot", false;
  return true;
}

}  // namespace

bool ParseConsoleArguments(const std::vector<std::string>& arguments, ConsoleRequest& request, std::string& error) {
  std::size_t i = 0;
  for (; i < arguments.size() && arguments[i].rfind("--", 0) == 0; ++i) {
    std::string argument = arguments[i];
    if (argument == "--") {
      ++i;
      break;
    }
    if (argument == "--all") {
      request.allBoards = true;
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
    if (argument == "--update-changed" || argument == "--json" || argument == "--debug") {
      bool& flag = argument == "--json" ? request.json : argument == "--debug" ? request.debug : request.updateChanged;
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
  for (std::size_t first = i; i < arguments.size(); ++i)
    request.commandLine += (i == first ? "" : " ") + arguments[i];

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
  return CheckBoardChoice(request, error);
}

}  // namespace tessora

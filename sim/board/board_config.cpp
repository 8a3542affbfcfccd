#include "sim/board/board_config.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace tessora::sim {

const char* FaceName(Face face) {
  switch (face) {
    case Face::Hid: return "hid";
    case Face::FilterDriver: return "filterdriver";
    case Face::WinUsb: return "winusb";
  }
  return "?";
}

bool BoardConfig::Presents(Face face) const {
  switch (face) {
    case Face::Hid: return hid;
    case Face::FilterDriver: return filterDriver;
    case Face::WinUsb: return winUsb;
  }
  return false;
}

namespace {

std::string Trim(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return std::string(text.substr(begin, end - begin));
}

// Accepts decimal or 0x-prefixed hexadecimal, nothing else after the digits.
bool ParseNumber(const std::string& text, std::uint64_t max, std::uint64_t& value) {
  if (text.empty() || text[0] == '-' || text[0] == '+') return false;
  errno = 0;
  char* end = nullptr;
  unsigned long long parsed = std::strtoull(text.c_str(), &end, 0);
  if (errno != 0 || end == text.c_str() || *end != '\0' || parsed > max) return false;
  value = parsed;
  return true;
}

bool ParseFlag(const std::string& value, bool& flag) {
  if (value == "yes" || value == "1" || value == "true") return flag = true, true;
  if (value == "no" || value == "0" || value == "false") return flag = false, true;
  return false;
}

bool ParseInterfaces(const std::string& value, BoardConfig& config) {
  config.hid = config.filterDriver = config.winUsb = false;
  std::istringstream words(value);
  std::string word;
  bool any = false;
  while (words >> word) {
    any = true;
    if (word == "hid") config.hid = true;
    else if (word == "filterdriver") config.filterDriver = true;
    else if (word == "winusb") config.winUsb = true;
    else if (word != "none") return false;
  }
  return any;
}

// A USB string descriptor holds at most 126 UTF-16 units.
constexpr std::size_t kLongestSerial = 126;
// Seven tiers at most, the root hub's the first: a device sits behind at most six ports.
constexpr std::size_t kMostPorts = 6;
constexpr unsigned kLargestPortNumber = 255;

// Printable ASCII without blanks (a '#' starts a comment), without the '\\' that separates
// the parts of an instance ID, and without the ',' for which Windows refuses a serial.
bool ParseSerial(const std::string& value, BoardConfig& config) {
  if (value == "none") return config.serial = "", true;
  if (value.empty() || value.size() > kLongestSerial) return false;
  for (char c : value)
    if (c <= ' ' || c > '~' || c == ',' || c == '\\') return false;
  config.serial = value;
  return true;
}

// A decimal number from 1 to max without leading zeros, taken off the front of text.
bool TakeNumber(std::string_view& text, unsigned max) {
  std::size_t digits = 0;
  while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) ++digits;
  if (digits == 0 || digits > 3 || text[0] == '0') return false;
  unsigned number = 0;
  for (std::size_t i = 0; i < digits; ++i) number = number * 10 + static_cast<unsigned>(text[i] - '0');
  text.remove_prefix(digits);
  return number <= max;
}

// "BUS-PORT.PORT...", as Linux names a USB device's place.
bool ParsePort(const std::string& value, BoardConfig& config) {
  std::string_view rest = value;
  if (!TakeNumber(rest, kLargestPortNumber) || rest.empty() || rest[0] != '-') return false;
  for (std::size_t ports = 0; ports < kMostPorts; ++ports) {
    rest.remove_prefix(1);
    if (!TakeNumber(rest, kLargestPortNumber)) return false;
    if (rest.empty()) return config.port = value, true;
    if (rest[0] != '.') return false;
  }
  return false;
}

// What a key takes, for the keys whose bad values are not plain numbers or words.
const char* ValueRule(const std::string& key) {
  if (key == "serial") return "1 to 126 characters from '!' to '~' but ',' and '\\', or none";
  if (key == "port") return "BUS-PORT as in 1-1.4: numbers from 1 to 255, at most 6 ports after the bus";
  return nullptr;
}

enum class KeyResult { Applied, BadValue, UnknownKey };

KeyResult FromBool(bool applied) { return applied ? KeyResult::Applied : KeyResult::BadValue; }

bool ApplyNamedKey(const std::string& key, const std::string& value, BoardConfig& config) {
  std::uint64_t number = 0;
  if (key == "interfaces") return ParseInterfaces(value, config);
  if (key == "serial") return ParseSerial(value, config);
  if (key == "port") return ParsePort(value, config);
  if (key == "busy_polls") {
    if (value == "stuck") return config.busyPolls = -1, true;
    if (!ParseNumber(value, 100000, number)) return false;
    config.busyPolls = static_cast<int>(number);
    return true;
  }
  if (key == "open_fails") return ParseFlag(value, config.openFails);
  if (key == "winusb_init_fails") return ParseFlag(value, config.winUsbInitFails);
  if (key == "cpu_log") return ParseFlag(value, config.cpuLog);
  if (key == "eeprom_address") {
    if (!ParseNumber(value, 0x7F, number)) return false;
    config.eepromAddress = static_cast<std::uint8_t>(number);
    return true;
  }
  if (key == "fail_after") {
    if (value == "never") return config.failAfter.reset(), true;
    if (!ParseNumber(value, UINT64_MAX, number)) return false;
    config.failAfter = number;
    return true;
  }
  if (key == "page_size") {
    if (!ParseNumber(value, 256, number) || number == 0 || (number & (number - 1)) != 0) return false;
    config.pageSize = static_cast<std::uint32_t>(number);
    return true;
  }
  if (key == "corrupt_readback") {
    if (value == "none") return config.corruptReadback.reset(), true;
    if (!ParseNumber(value, 0xFFFF, number)) return false;
    config.corruptReadback = static_cast<std::uint32_t>(number);
    return true;
  }
  struct NumericKey {
    const char* name;
    std::uint64_t max;
    void (*store)(BoardConfig&, std::uint64_t);
  };
  static const NumericKey kNumericKeys[] = {
      {"crc_errors", UINT32_MAX, [](BoardConfig& c, std::uint64_t v) { c.crcErrors = static_cast<std::uint32_t>(v); }},
      {"short_bus_data", 0xFFFF,
       [](BoardConfig& c, std::uint64_t v) { c.shortBusData = static_cast<std::uint32_t>(v); }},
      {"refuse_read_length", 0xFFFF,
       [](BoardConfig& c, std::uint64_t v) { c.refuseReadLength = static_cast<std::uint32_t>(v); }},
      {"write_limit", 0xFFFF, [](BoardConfig& c, std::uint64_t v) { c.writeLimit = static_cast<std::uint32_t>(v); }},
      {"feature_report_length", 0xFFFF,
       [](BoardConfig& c, std::uint64_t v) { c.featureReportLength = static_cast<std::uint16_t>(v); }},
      {"input_report_length", 0xFFFF,
       [](BoardConfig& c, std::uint64_t v) { c.inputReportLength = static_cast<std::uint16_t>(v); }},
      {"output_report_length", 0xFFFF,
       [](BoardConfig& c, std::uint64_t v) { c.outputReportLength = static_cast<std::uint16_t>(v); }},
      {"done_status", 0xFF, [](BoardConfig& c, std::uint64_t v) { c.doneStatus = static_cast<std::uint8_t>(v); }},
      {"status_read_fails", UINT32_MAX,
       [](BoardConfig& c, std::uint64_t v) { c.statusReadFails = static_cast<std::uint32_t>(v); }},
  };
  for (const NumericKey& known : kNumericKeys) {
    if (key != known.name) continue;
    if (!ParseNumber(value, known.max, number)) return false;
    known.store(config, number);
    return true;
  }
  return false;
}

// Any of these makes the board keep time, with the defaults for the ones not given.
bool ApplyTimingKey(const std::string& key, const std::string& value, BoardConfig& config) {
  // Up to a second per request or write cycle, and a bus clock from 1 kHz to the 5 MHz
  // of the fastest two-wire mode: beyond that a value is a typo, not a board.
  constexpr std::uint64_t kLongestUs = 1000000;
  struct TimingKey {
    const char* name;
    std::uint64_t min;
    std::uint64_t max;
    std::uint32_t BoardConfig::*field;
  };
  static const TimingKey kTimingKeys[] = {{"latency_us", 0, kLongestUs, &BoardConfig::latencyUs},
                                          {"write_cycle_us", 0, kLongestUs, &BoardConfig::writeCycleUs},
                                          {"bus_khz", 1, 5000, &BoardConfig::busKhz}};
  std::uint64_t number = 0;
  for (const TimingKey& known : kTimingKeys) {
    if (key != known.name) continue;
    if (!ParseNumber(value, known.max, number) || number < known.min) return false;
    config.*known.field = static_cast<std::uint32_t>(number);
    config.keepsTime = true;
    return true;
  }
  return false;
}

KeyResult ApplyKey(const std::string& key, const std::string& value, BoardConfig& config) {
  if (key == "latency_us" || key == "write_cycle_us" || key == "bus_khz")
    return FromBool(ApplyTimingKey(key, value, config));
  static const char* const kKeys[] = {"interfaces", "eeprom_address", "write_limit", "fail_after",
                                      "corrupt_readback", "feature_report_length", "input_report_length",
                                      "output_report_length", "page_size", "busy_polls", "crc_errors",
                                      "short_bus_data", "open_fails", "winusb_init_fails", "refuse_read_length",
                                      "done_status", "status_read_fails", "serial", "port", "cpu_log"};
  for (const char* known : kKeys)
    if (key == known) return FromBool(ApplyNamedKey(key, value, config));
  return KeyResult::UnknownKey;
}

}  // namespace

bool ParseBoardConfig(std::string_view text, BoardConfig& config, std::string& error) {
  std::istringstream lines{std::string(text)};
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    std::string content = Trim(std::string_view(line).substr(0, line.find('#')));
    if (content.empty()) continue;
    std::size_t equals = content.find('=');
    if (equals == std::string::npos) {
      error = "board.conf line " + std::to_string(number) + ": expected key = value";
      return false;
    }
    std::string key = Trim(std::string_view(content).substr(0, equals));
    std::string value = Trim(std::string_view(content).substr(equals + 1));
    KeyResult result = ApplyKey(key, value, config);
    if (result == KeyResult::UnknownKey) {
      error = "board.conf line " + std::to_string(number) + ": unknown key '" + key + "'";
      return false;
    }
    if (result == KeyResult::BadValue) {
      error = "board.conf line " + std::to_string(number) + ": bad value '" + value + "' for " + key;
      if (const char* rule = ValueRule(key)) error += std::string(" (") + rule + ")";
      return false;
    }
  }
  return true;
}

}  // namespace tessora::sim

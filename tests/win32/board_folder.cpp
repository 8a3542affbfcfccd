#include "tests/win32/board_folder.h"

#include <sstream>

namespace tessora::testing {

void BoardFolder::SetEeprom(const std::vector<std::uint8_t>& bytes) {
  WriteFile(board_.File("eeprom.bin"), std::string(bytes.begin(), bytes.end()));
}

std::string BoardFolder::Image(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  std::string path = files_.File(name);
  WriteFile(path, ImageText(bytes));
  return path;
}

std::vector<std::uint8_t> BoardFolder::Eeprom() const {
  std::string bytes = ReadFile(board_.File("eeprom.bin"));
  return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

std::vector<std::string> BoardFolder::Trace() const {
  std::istringstream text(ReadFile(board_.File("trace.log")));
  std::vector<std::string> lines;
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  return lines;
}

int BoardFolder::TraceCount(const std::string& text) const {
  int count = 0;
  for (const std::string& line : Trace())
    if (line.find(text) != std::string::npos) ++count;
  return count;
}

}  // namespace tessora::testing

#include "tests/support/recording_ui.h"

#include <cstdio>
#include <cstring>

namespace tessora::testing {

void RecordingUi::ShowMessageBox(bool ownedByMainWindow, const char* text, const char* caption, std::uint32_t style) {
  char styleText[16];
  std::snprintf(styleText, sizeof styleText, "%x", style);
  events.push_back(std::string("box ") + (ownedByMainWindow ? "owned " : "") + "[" + (caption ? caption : "-") +
                   "] " + styleText + " " + text);
}

bool RecordingUi::AskFileName(FileQuestion question, char* path, std::size_t capacity) {
  questions.push_back(question);
  if (answer.empty() || answer.size() >= capacity) return false;
  std::memcpy(path, answer.c_str(), answer.size() + 1);
  return true;
}

std::vector<std::string> RecordingUi::Events(const std::string& prefix) const {
  std::vector<std::string> found;
  for (const std::string& event : events)
    if (event.rfind(prefix, 0) == 0) found.push_back(event.substr(prefix.size()));
  return found;
}

bool MemorySettingsStore::QueryByte(const char* name, std::uint8_t& value) {
  auto found = values.find(name);
  if (!open_ || found == values.end() || found->second.size() != 1) return false;
  value = found->second[0];
  return true;
}

bool MemorySettingsStore::WriteByte(const char* name, std::uint8_t value) {
  if (!open_) return false;
  values[name] = {value};
  writes.push_back(name);
  return true;
}

}  // namespace tessora::testing

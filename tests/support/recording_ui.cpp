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

std::vector<std::string> RecordingUi::Boxes() const {
  std::vector<std::string> boxes;
  for (const std::string& event : events)
    if (event.rfind("box ", 0) == 0) boxes.push_back(event.substr(4));
  return boxes;
}

std::vector<std::string> RecordingUi::Outputs() const {
  std::vector<std::string> outputs;
  for (const std::string& event : events)
    if (event.rfind("out ", 0) == 0) outputs.push_back(event.substr(4));
  return outputs;
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

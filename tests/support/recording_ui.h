#pragma once
#include <cstring>
#include <string>
#include <vector>

#include "app/ui_port.h"
#include "tests/support/recording_hid_messages.h"
// The shell's tests find the recording OS services and the memory store here too.
#include "tests/support/memory_settings_store.h"
#include "tests/support/recording_os.h"

namespace tessora::test {

// Records what the shell shows, as one event line each ("box ...", "out ...", "paint ...",
// "bar ..."), and answers file questions with a preset name.
class RecordingUi : public UiPort, public ProgressBar {
 public:
  void RepaintNow(const char* statusText) override { events.push_back(std::string("paint ") + statusText); }
  void ShowMessageBox(bool ownedByMainWindow, const char* text, const char* caption, std::uint32_t style) override {
    events.push_back("box " + MessageBoxLine(ownedByMainWindow, text, caption, style));
  }
  bool AskFileName(FileQuestion question, char* path, std::size_t capacity) override {
    questions.push_back(question);
    if (answer.empty() || answer.size() >= capacity) return false;
    std::memcpy(path, answer.c_str(), answer.size() + 1);
    return true;
  }
  ProgressBar& Progress() override { return *this; }
  void StandardOutput(const char* line) override { events.push_back(std::string("out ") + line); }

  void Create() override { events.push_back("bar create"); }
  void SetRange(std::uint16_t maximum) override { events.push_back("bar range " + std::to_string(maximum)); }
  void SetPosition(int position) override { events.push_back("bar pos " + std::to_string(position)); }
  void Destroy() override { events.push_back("bar destroy"); }
  void ProgressStep() override { ++steps; }

  std::vector<std::string> Boxes() const { return Events("box "); }
  std::vector<std::string> Outputs() const { return Events("out "); }
  // The events of one kind, without their prefix.
  std::vector<std::string> Events(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& event : events)
      if (event.rfind(prefix, 0) == 0) found.push_back(event.substr(prefix.size()));
    return found;
  }

  std::vector<std::string> events;
  int steps = 0;
  std::string answer;  // empty: the question is cancelled
  std::vector<FileQuestion> questions;
};

}  // namespace tessora::test

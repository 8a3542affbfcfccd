#pragma once
#include <map>
#include <string>
#include <vector>

#include "app/ui_port.h"
#include "platform/settings_store.h"

namespace tessora::testing {

// Records what the shell shows, as one event line each ("box ...", "out ...", "paint ...",
// "bar ..."), and answers file questions with a preset name.
class RecordingUi : public UiPort, public ProgressBar {
 public:
  void RepaintNow(const char* statusText) override { events.push_back(std::string("paint ") + statusText); }
  void ShowMessageBox(bool ownedByMainWindow, const char* text, const char* caption, std::uint32_t style) override;
  bool AskFileName(FileQuestion question, char* path, std::size_t capacity) override;
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
  std::vector<std::string> Events(const std::string& prefix) const;

  std::vector<std::string> events;
  int steps = 0;
  std::string answer;  // empty: the question is cancelled
  std::vector<FileQuestion> questions;
};

// Settings values kept in memory, with a switch to make the store fail.
class MemorySettingsStore : public SettingsStore {
 public:
  bool OpenForQuery() override { return open_ = exists && !failing; }
  bool OpenForWrite() override {
    if (failing) return false;
    exists = true;
    return open_ = true;
  }
  bool QueryByte(const char* name, std::uint8_t& value) override;
  bool WriteByte(const char* name, std::uint8_t value) override;
  void Close() override { open_ = false; }

  bool exists = false;
  bool failing = false;
  std::map<std::string, std::vector<std::uint8_t>> values;
  std::vector<std::string> writes;  // names in write order

 private:
  bool open_ = false;
};

}  // namespace tessora::testing

#include "platform/native_os_services.h"
#include "platform/virtual_clock.h"

namespace tessora::testing {

struct NativeOsHolder {
  std::unique_ptr<OsServices> native = CreateNativeOsServices();
};

// Virtual time, and the debug output kept as lines. The native services are built
// first (base order), so the clock can wrap them.
class RecordingOs : private NativeOsHolder, public VirtualClock {
 public:
  RecordingOs() : NativeOsHolder(), VirtualClock(*native) {}
  void OutputDebugStringA(const char* text) override { debugLines.push_back(text); }

  std::vector<std::string> debugLines;
};

}  // namespace tessora::testing

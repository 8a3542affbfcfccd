#pragma once
#include <cstdio>
#include <cstring>
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
  void ShowMessageBox(bool ownedByMainWindow, const char* text, const char* caption, std::uint32_t style) override {
    char styleText[16];
    std::snprintf(styleText, sizeof styleText, "%x", style);
    events.push_back(std::string("box ") + (ownedByMainWindow ? "owned " : "") + "[" + (caption ? caption : "-") +
                     "] " + styleText + " " + text);
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

// Settings values kept in memory, with a switch to make the store fail.
class MemorySettingsStore : public SettingsStore {
 public:
  bool OpenForQuery() override { return open_ = exists && !failing; }
  bool OpenForWrite() override {
    if (failing) return false;
    exists = true;
    return open_ = true;
  }
  bool QueryByte(const char* name, std::uint8_t& value) override {
    auto found = values.find(name);
    if (!open_ || found == values.end() || found->second.size() != 1) return false;
    value = found->second[0];
    return true;
  }
  bool WriteByte(const char* name, std::uint8_t value) override {
    if (!open_) return false;
    values[name] = {value};
    writes.push_back(name);
    return true;
  }
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
#include "sim/virtual_clock.h"

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
  std::unique_ptr<NamedMutex> CreateMutexA(const char* name, std::uint32_t& lastError) override {
    if (!mutexesFail) return VirtualClock::CreateMutexA(name, lastError);
    lastError = kErrorSuccess;
    return std::make_unique<FailingMutex>();
  }

  std::vector<std::string> debugLines;
  // Mutexes made from now on cannot be taken at all, as when the system gives no socket.
  bool mutexesFail = false;

 private:
  class FailingMutex : public NamedMutex {
   public:
    std::uint32_t Wait(std::uint32_t /*timeoutMilliseconds*/) override { return kWaitFailed; }
    bool Release() override { return false; }
  };
};

}  // namespace tessora::testing

#pragma once
#include <cstdint>
#include <string>

#include "engine/settings.h"
#include "engine/stop_request.h"
#include "platform/device_stack.h"

namespace tessora {

// What the console program does differently on Linux and on Windows.

// First of all, before anything is opened: a closed standard stream (0, 1 or 2) is opened
// on the null device, so that no file or device node opened later takes its number and
// gets the messages, the JSON or the progress bar written into it; and a reader that goes
// away (a pipe into head) ends no run half-way. False when that cannot be made sure.
bool GuardStandardStreams();

// While it lives, SIGINT and SIGTERM (on Windows Ctrl+C, Ctrl+Break and closing the
// console) ask `stop` to stop at the procedure's next safe point instead of ending the
// program wherever it stands, half-way through a page or with a temporary file left.
class StopSignals {
 public:
  explicit StopSignals(StopRequest& stop);
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;
};

// --udev-rule: the rule for the controllers on the real stack (null when the simulated
// board was chosen); the exit status.
int PrintUdevRule(DeviceStack* realStack);

// Lets the terminal on standard error take the cursor and erase sequences the progress
// lines are drawn with; false where it cannot.
bool EnableTerminalSequences();

// Whether the name opens the file the stream writes to (as /dev/stdout does), so that
// nothing else may be written to that stream. Windows has no such names.
bool NamesStream(const char* path, int fd);

// "-" as the read-out file: the name that opens standard output for writing (/dev/stdout),
// or null where the system has none.
const char* StandardOutputFileName();

// "-" as the image read: standard input copied whole into a temporary file of its own,
// since the image is read more than once and a pipe gives its bytes only once. The file
// is removed as the object ends; Path() is empty, and Problem() says why, when the copy
// could not be made.
class StandardInputCopy {
 public:
  StandardInputCopy();
  ~StandardInputCopy();
  StandardInputCopy(const StandardInputCopy&) = delete;
  StandardInputCopy& operator=(const StandardInputCopy&) = delete;
  const std::string& Path() const { return path_; }
  const std::string& Problem() const { return problem_; }

 private:
  std::string path_;
  std::string problem_;
};

// A log several programs append to at once: each line lands whole, by one write to a file
// opened for appending only, whoever else writes between. Problem() says why the file
// could not be opened.
class AppendOnlyFile {
 public:
  explicit AppendOnlyFile(const std::string& path);
  ~AppendOnlyFile();
  AppendOnlyFile(const AppendOnlyFile&) = delete;
  AppendOnlyFile& operator=(const AppendOnlyFile&) = delete;
  bool IsOpen() const { return problem_.empty(); }
  const std::string& Problem() const { return problem_; }
  bool Append(const std::string& line);

 private:
  std::intptr_t handle_ = -1;
  std::string problem_;
};

// The name of this computer, as a log names the station; empty when the system gives none.
std::string HostName();

// Now in UTC, ISO 8601 to the millisecond: 2026-12-07T19:52:00.123Z.
std::string UtcTimeNow();

// Whether the system has the FilterDriver interface at all (Windows does, Linux not).
bool HasFilterDriver();

// After a failed run on the real device stack: what the user can do about the interface.
void ExplainFailure(const Settings& settings);

}  // namespace tessora

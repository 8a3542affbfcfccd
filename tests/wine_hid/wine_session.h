#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

#include "platform/posix/unique_descriptor.h"
#include "tests/linux/emulated_usb.h"
#include "tests/support/test_support.h"
#include "tests/wine_hid/child_process.h"
#include "tests/wine_hid/wine_prefix.h"

namespace tessora::test {

// A Windows program and the Wine loader of its width.
struct WindowsProgram {
  const char* loader;
  std::string path;
};

struct WineRun : ChildRun {
  // The program's OutputDebugStringA texts, in order; `errors` keeps its own lines alone.
  std::vector<std::string> debugLines;
};

// Wine in a prefix, with the machine `usb` emulates in this process: the first Wine
// process starts the prefix's wineserver, services and drivers under umockdev's preload,
// so winebus.sys finds the emulated hidraw nodes through udev, and every program after it
// reaches them through Wine's own HID stack (hid.dll, hidclass.sys, winebus.sys). Nothing
// of it outlives the session, however this process ends: a guardian process of its own
// stops the prefix's wineserver, and with it every Wine process, should this one die.
class WineSession {
 public:
  WineSession(const WinePrefix& prefix, const EmulatedUsb& usb);
  ~WineSession();
  WineSession(const WineSession&) = delete;
  WineSession& operator=(const WineSession&) = delete;

  // Empty once Wine runs with the machine; what kept it from running otherwise.
  const std::string& Problem() const { return problem_; }
  // Runs a program to its end, or kills it should it outlive the limit of a run.
  WineRun Run(const WindowsProgram& program, const std::vector<std::string>& arguments) const;

 private:
  void StartGuardian(const std::string& testbed);
  bool RunsToTheEnd(const std::vector<std::string>& command, const std::string& log) const;
  void Stop();
  void EndProcessesLeft() const;

  const WinePrefix& prefix_;
  ChildEnvironment environment_;
  std::string tag_;  // the environment entry every process of this session carries
  std::string problem_;
  TempDir logs_;
  pid_t guardian_ = 0;
  UniqueDescriptor guardianLine_;
};

// A file's name as a Windows program of the prefix reaches it (Wine's drive Z: is /).
std::string WindowsPath(const std::string& path);

}  // namespace tessora::test

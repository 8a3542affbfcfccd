#pragma once
#include <string>

#include "platform/posix/unique_descriptor.h"
#include "tests/wine_hid/child_process.h"

namespace tessora::test {

// Debian's Wine: the loaders of both widths (the 32-bit one needs a kernel that runs
// 32-bit programs) and the wineserver of the installed width.
inline constexpr char kWine64[] = "/usr/lib/wine/wine64";
inline constexpr char kWine32[] = "/usr/lib/wine/wine";
inline constexpr char kWineServer[] = "/usr/lib/wine/wineserver";

// A 64-bit Wine prefix of this build's own, held by one process at a time, with no
// wineserver of it left running, so that the next Wine process starts one with the
// caller's environment.
class WinePrefix {
 public:
  // Makes the prefix ready, outside any emulated machine: created when missing (reused
  // after) and winebus's own HID backend over hidraw switched on. Returns what kept it
  // from being ready; empty when it is.
  static std::string Prepare(const std::string& path);

  // Holds a prepared prefix.
  explicit WinePrefix(std::string path);

  const std::string& Path() const { return path_; }
  // Empty when the prefix is ready; what kept it from being ready otherwise.
  const std::string& Problem() const { return problem_; }
  // The environment of a Wine process of this prefix: quiet, and no question to
  // download Mono or Gecko that nobody would answer.
  ChildEnvironment Environment() const;
  // Ends the prefix's wineserver and with it every Wine process of the prefix.
  void StopServer() const;

 private:
  void Create();
  void TurnOffSdl();

  std::string path_;
  std::string problem_;
  UniqueDescriptor lock_;
};

}  // namespace tessora::test

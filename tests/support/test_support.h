#pragma once
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/progress.h"

namespace tessora::test {

// A fresh directory that is removed with everything in it when the test ends.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// A serial number no other test program uses.
std::string UniqueSerial();
// A USB port, "BUS-PORT.PORT...", that no other test program's boards are plugged into.
std::string UniquePort();

// Returns the path.
std::string WriteFile(const std::string& path, const std::string& contents);
std::string ReadFile(const std::string& path);

class CountingProgress : public Progress {
 public:
  void ProgressStep() override { ++steps; }
  int steps = 0;
};

// An image file giving addresses 0 to size-1 once each, in 16-byte lines.
std::string ImageText(const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> PatternBytes(std::size_t size, unsigned seed = 7);

}  // namespace tessora::test

#pragma once
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace tessora::fuzz {

// A scratch file in a directory of its own, for code that reads files by name: in memory
// (/dev/shm) where there is one, since a run writes it millions of times. The directory
// goes when the fuzzer ends.
class InputFile {
 public:
  InputFile() {
    char pattern[] = "/dev/shm/tessora-fuzz-XXXXXX";
    if (!std::filesystem::is_directory("/dev/shm")) std::snprintf(pattern, sizeof pattern, "/tmp/tessora-fuzz-XXXXXX");
    if (::mkdtemp(pattern) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    directory_ = pattern;
  }
  ~InputFile() {
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Writes the input into the file `name` and returns its path.
  std::string Write(const std::uint8_t* data, std::size_t size, const char* name) const {
    std::string path = directory_ + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) std::abort();
    return path;
  }

 private:
  std::string directory_;
};

}  // namespace tessora::fuzz

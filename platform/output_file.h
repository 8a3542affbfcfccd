#pragma once
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/unique_file.h"

namespace tessora {

// A file the program writes whole, in text mode. A regular file, or a name not taken yet,
// is written as a fresh temporary beside it that takes its place on Commit, with the old
// file's permissions and owner where the platform has them; until then the old file stays
// as it was. A symbolic link is followed to the file it names, so the link stays a link.
// Anything else (a device, a pipe, a terminal) cannot be replaced and is written straight.
class OutputFile {
 public:
  // Binary: the bytes as they are, also where text mode would change line ends.
  explicit OutputFile(const std::string& path, bool binary = false);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Null when the file could not be created.
  std::FILE* Stream() const { return file_.get(); }
  // True when everything was written and the file is in place.
  bool Commit();

 private:
  std::filesystem::path target_;
  std::filesystem::path temporary_;  // empty while writing straight into the target
  UniqueFile file_;
  bool committed_ = false;
};

// The backend's part: creates `path`, which must not exist yet (errno EEXIST when it does),
// for writing in text mode, with the permissions and owner of `model` when that exists.
UniqueFile CreateFileExclusively(const std::filesystem::path& path, const std::filesystem::path& model);
// The backend's part: switches an open stream to binary mode (nothing to do on POSIX).
void SetBinaryMode(std::FILE* file);

}  // namespace tessora

#pragma once
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/unique_file.h"

namespace tessora {

// A file the program writes whole, in text mode unless asked for binary, opened when it is
// made so that a file that cannot be written is known before any work is done, and given
// its content only on Commit.
// - A regular file, or a name not taken yet, is written as a fresh temporary beside it that
//   is flushed to the disk and then takes its place, with the old file's permissions and
//   owner where the platform has them. Until then the old file stays as it was; a
//   temporary never committed is removed.
// - Anything else (a symbolic link, a device, a pipe, a terminal) is opened as the system
//   opens the name, so that its rules for links in shared folders hold, and written in
//   place: a regular file reached that way is emptied only on Commit.
class OutputFile {
 public:
  explicit OutputFile(const std::string& path, bool binary = false);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool IsOpen() const { return file_ != nullptr; }
  // True when all of content was written and the file is in place.
  bool Commit(std::string_view content);
  // Why the file could not be opened or written, in the system's words; empty when it could.
  const std::string& Problem() const { return problem_; }

 private:
  bool Fail(int error);

  std::filesystem::path target_;
  std::filesystem::path temporary_;  // empty while writing in place
  UniqueFile file_;
  std::string problem_;
  bool committed_ = false;
};

// The backend's part: creates `path`, which must not exist yet (errno EEXIST when it does),
// for writing in text or binary mode, with the permissions and owner of `model` when that
// exists.
UniqueFile CreateFileExclusively(const std::filesystem::path& path, const std::filesystem::path& model, bool binary);
// The backend's part: opens `path` for writing as the system opens a name, creating it when
// it is missing and emptying nothing; null with errno set when that fails.
UniqueFile OpenInPlace(const std::filesystem::path& path, bool binary);
// The backend's part: empties an open file when it is a regular one. False with errno set
// when that fails.
bool EmptyRegularFile(std::FILE* file);
// The backend's part: the written stream's data on the disk, for a regular file. False
// with errno set when that fails.
bool SyncToDisk(std::FILE* file);

}  // namespace tessora

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/output_file.h"

namespace tessora {

namespace {

UniqueFile StreamFor(int descriptor) {
  if (descriptor < 0) return nullptr;
  UniqueFile file(::fdopen(descriptor, "w"));
  if (!file) ::close(descriptor);
  return file;
}

bool IsRegular(std::FILE* file) {
  struct stat info{};
  return ::fstat(::fileno(file), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

UniqueFile CreateFileExclusively(const std::filesystem::path& path, const std::filesystem::path& model,
                                 bool /*binary*/) {
  int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (descriptor < 0) return nullptr;
  struct stat info{};
  if (::lstat(model.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
    // Owner first: a change of owner clears the set-ID bits that the mode then restores.
    // Only root may give a file away; anyone else keeps the file as their own.
    if (::fchown(descriptor, info.st_uid, info.st_gid) != 0) errno = 0;
    if (::fchmod(descriptor, info.st_mode & 07777) != 0) errno = 0;
  }
  return StreamFor(descriptor);
}

UniqueFile OpenInPlace(const std::filesystem::path& path, bool /*binary*/) {
  // No O_TRUNC: a regular file behind a link keeps its content until the commit.
  return StreamFor(::open(path.c_str(), O_WRONLY | O_CREAT | O_NOCTTY | O_CLOEXEC, 0666));
}

bool EmptyRegularFile(std::FILE* file) { return !IsRegular(file) || ::ftruncate(::fileno(file), 0) == 0; }

bool SyncToDisk(std::FILE* file) { return !IsRegular(file) || ::fsync(::fileno(file)) == 0; }

}  // namespace tessora

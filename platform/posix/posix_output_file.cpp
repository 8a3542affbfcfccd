#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/output_file.h"

namespace tessora {

UniqueFile CreateFileExclusively(const std::filesystem::path& path, const std::filesystem::path& model) {
  int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (descriptor < 0) return nullptr;
  struct stat info{};
  if (::stat(model.c_str(), &info) == 0) {
    // Owner first: a change of owner clears the set-ID bits that the mode then restores.
    // Only root may give a file away; anyone else keeps the file as their own.
    if (::fchown(descriptor, info.st_uid, info.st_gid) != 0) errno = 0;
    if (::fchmod(descriptor, info.st_mode & 07777) != 0) errno = 0;
  }
  UniqueFile file(::fdopen(descriptor, "w"));
  if (!file) ::close(descriptor);
  return file;
}

void SetBinaryMode(std::FILE* /*file*/) {}

}  // namespace tessora

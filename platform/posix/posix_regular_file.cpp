#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/regular_file.h"

namespace tessora {

UniqueFile OpenRegularFileForReading(const char* path) {
  // Without O_NONBLOCK the open of a FIFO would wait for a writer for ever.
  int descriptor = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (descriptor < 0) return nullptr;
  struct stat info{};
  if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(descriptor);
    return nullptr;
  }
  UniqueFile file(::fdopen(descriptor, "rb"));
  if (!file) ::close(descriptor);
  return file;
}

}  // namespace tessora

#include <sys/stat.h>

#include <cstdio>

#include "platform/regular_file.h"

namespace tessora {

UniqueFile OpenRegularFileForReading(const char* path) {
  // Device names (NUL, CON, COM1) open as character devices, which are not images.
  UniqueFile file(std::fopen(path, "rb"));
  if (!file) return nullptr;
  struct _stat64 info{};
  if (::_fstat64(::_fileno(file.get()), &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) return nullptr;
  return file;
}

}  // namespace tessora

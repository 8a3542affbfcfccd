#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include "platform/output_file.h"

namespace tessora {

// Windows files carry no mode bits to keep; the rename leaves the target's security as
// the folder gives it.
UniqueFile CreateFileExclusively(const std::filesystem::path& path, const std::filesystem::path& /*model*/) {
  int descriptor = ::_wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_TEXT, _S_IREAD | _S_IWRITE);
  if (descriptor < 0) return nullptr;
  UniqueFile file(::_fdopen(descriptor, "w"));
  if (!file) ::_close(descriptor);
  return file;
}

void SetBinaryMode(std::FILE* file) { ::_setmode(::_fileno(file), _O_BINARY); }

}  // namespace tessora

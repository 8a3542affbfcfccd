#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cstdio>

#include "platform/output_file.h"

namespace tessora {

namespace {

UniqueFile StreamFor(int descriptor) {
  if (descriptor < 0) return nullptr;
  UniqueFile file(::_fdopen(descriptor, "w"));
  if (!file) ::_close(descriptor);
  return file;
}

bool IsRegular(std::FILE* file) {
  struct _stat64 info{};
  return ::_fstat64(::_fileno(file), &info) == 0 && (info.st_mode & _S_IFMT) == _S_IFREG;
}

int Mode(bool binary) { return binary ? _O_BINARY : _O_TEXT; }

}  // namespace

// Windows files carry no mode bits to keep; the rename leaves the target's security as
// the folder gives it.
UniqueFile CreateFileExclusively(const std::filesystem::path& path, const std::filesystem::path& /*model*/,
                                 bool binary) {
  return StreamFor(::_wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | Mode(binary), _S_IREAD | _S_IWRITE));
}

UniqueFile OpenInPlace(const std::filesystem::path& path, bool binary) {
  return StreamFor(::_wopen(path.c_str(), _O_WRONLY | _O_CREAT | Mode(binary), _S_IREAD | _S_IWRITE));
}

bool EmptyRegularFile(std::FILE* file) { return !IsRegular(file) || ::_chsize_s(::_fileno(file), 0) == 0; }

bool SyncToDisk(std::FILE* file) { return !IsRegular(file) || ::_commit(::_fileno(file)) == 0; }

}  // namespace tessora

#include "platform/output_file.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>
#include <system_error>

namespace tessora {

namespace fs = std::filesystem;

namespace {

constexpr int kNameAttempts = 16;

// A hidden name beside the target that no other writer picks.
fs::path TemporaryBeside(const fs::path& target) {
  static std::atomic<unsigned> counter{0};
  static const unsigned run = std::random_device{}();
  char suffix[40];
  std::snprintf(suffix, sizeof suffix, ".%08x%08x.tmp", run, counter++);
  return target.parent_path() / ("." + target.filename().string() + suffix);
}

}  // namespace

OutputFile::OutputFile(const std::string& path, bool binary) : target_(path) {
  std::error_code error;
  // The name's own entry, never what a link in it names: only a regular file or a new
  // name is replaced by a rename, which acts on the entry itself.
  fs::file_status entry = fs::symlink_status(target_, error);
  if (fs::exists(entry) && !fs::is_regular_file(entry)) {
    errno = 0;
    file_ = OpenInPlace(target_, binary);
    if (!file_) Fail(errno);
    return;
  }
  for (int attempt = 0; attempt < kNameAttempts && !file_; ++attempt) {
    temporary_ = TemporaryBeside(target_);
    errno = 0;
    file_ = CreateFileExclusively(temporary_, target_, binary);
    if (!file_ && errno != EEXIST) break;
  }
  if (!file_) {
    temporary_.clear();
    Fail(errno);
  }
}

OutputFile::~OutputFile() {
  if (committed_ || temporary_.empty()) return;
  file_.reset();
  std::error_code ignored;
  fs::remove(temporary_, ignored);
}

bool OutputFile::Fail(int error) {
  problem_ = std::strerror(error != 0 ? error : EIO);
  return false;
}

bool OutputFile::Commit(std::string_view content) {
  if (!file_) return false;
  errno = 0;
  if (temporary_.empty() && !EmptyRegularFile(file_.get())) return Fail(errno);
  bool written = std::fwrite(content.data(), 1, content.size(), file_.get()) == content.size() &&
                 std::fflush(file_.get()) == 0 && SyncToDisk(file_.get());
  int writeError = errno;
  bool closed = std::fclose(file_.release()) == 0;
  if (!written || !closed) return Fail(written ? errno : writeError);
  if (!temporary_.empty()) {
    std::error_code failure;
    fs::rename(temporary_, target_, failure);
    if (failure) {
      problem_ = failure.message();
      return false;
    }
  }
  committed_ = true;
  return true;
}

}  // namespace tessora

#include "platform/output_file.h"

#include <atomic>
#include <cerrno>
#include <random>
#include <system_error>

namespace tessora {

namespace fs = std::filesystem;

namespace {

constexpr int kMaxLinkDepth = 40;  // the kernel's own bound on a chain of links
constexpr int kNameAttempts = 16;

fs::path FollowLinks(fs::path path) {
  std::error_code error;
  for (int depth = 0; depth < kMaxLinkDepth && fs::is_symlink(fs::symlink_status(path, error)); ++depth) {
    fs::path next = fs::read_symlink(path, error);
    if (error) break;
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  return path;
}

// A hidden name beside the target that no other writer picks.
fs::path TemporaryBeside(const fs::path& target) {
  static std::atomic<unsigned> counter{0};
  static const unsigned run = std::random_device{}();
  char suffix[40];
  std::snprintf(suffix, sizeof suffix, ".%08x%08x.tmp", run, counter++);
  return target.parent_path() / ("." + target.filename().string() + suffix);
}

}  // namespace

OutputFile::OutputFile(const std::string& path, bool binary) : target_(FollowLinks(path)) {
  std::error_code error;
  fs::file_status status = fs::status(target_, error);
  if (fs::exists(status) && !fs::is_regular_file(status)) {
    file_.reset(std::fopen(target_.string().c_str(), binary ? "wb" : "w"));
    return;
  }
  for (int attempt = 0; attempt < kNameAttempts && !file_; ++attempt) {
    temporary_ = TemporaryBeside(target_);
    errno = 0;
    file_ = CreateFileExclusively(temporary_, target_);
    if (!file_ && errno != EEXIST) break;
  }
  if (!file_) temporary_.clear();
  if (file_ && binary) SetBinaryMode(file_.get());
}

OutputFile::~OutputFile() {
  if (committed_ || temporary_.empty()) return;
  file_.reset();
  std::error_code ignored;
  fs::remove(temporary_, ignored);
}

bool OutputFile::Commit() {
  if (!file_) return false;
  bool written = std::fflush(file_.get()) == 0 && std::ferror(file_.get()) == 0;
  written = std::fclose(file_.release()) == 0 && written;
  if (!written) return false;
  std::error_code failure;
  if (!temporary_.empty()) fs::rename(temporary_, target_, failure);
  committed_ = !failure;
  return committed_;
}

}  // namespace tessora

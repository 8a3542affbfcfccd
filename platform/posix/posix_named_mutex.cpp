#include "platform/posix/posix_named_mutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/types.h"

namespace tessora {

namespace {

constexpr int kCreateAttempts = 8;
constexpr mode_t kEveryUser = 0666;
constexpr auto kFilePollInterval = std::chrono::milliseconds(1);
constexpr char kMarkHeld = '1';
constexpr char kMarkFree = '0';

std::uint32_t LastErrorFor(int error) {
  switch (error) {
    case EACCES:
    case EPERM: return kErrorAccessDenied;
    case ENAMETOOLONG:
    case EINVAL: return kErrorInvalidParameter;
    default: return kErrorGenFailure;
  }
}

// TESSORA_LOCK_DIR gives a set of programs a lock place of their own (a container, a test
// run); every program that shares a lock must share the place.
std::string LockDirectory() {
  if (const char* configured = std::getenv(kLockDirectoryVariable); configured != nullptr && *configured != '\0')
    return configured;
  struct stat status{};
  return stat("/run/lock", &status) == 0 && S_ISDIR(status.st_mode) ? "/run/lock" : "/tmp";
}

// Opens the existing file (read-only when another user's file allows no more: flock
// needs no write access), or creates it for every user. An existing file is never
// opened with O_CREAT, which protected sticky directories refuse for another's file.
int OpenLockFile(const std::string& path, bool& writable, bool& created, std::uint32_t& lastError) {
  for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
    writable = true;
    created = false;
    int descriptor = open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (descriptor < 0 && errno == EACCES) {
      writable = false;
      descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    }
    if (descriptor >= 0) return descriptor;
    if (errno != ENOENT) break;
    descriptor = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, kEveryUser);
    if (descriptor >= 0) {
      fchmod(descriptor, kEveryUser);  // past the umask
      created = true;
      return descriptor;
    }
    if (errno != EEXIST) break;
  }
  lastError = LastErrorFor(errno);
  return -1;
}

// True when the path names the open file, not one made after it was removed.
bool NamesFile(const std::string& path, int descriptor) {
  struct stat named{}, opened{};
  return lstat(path.c_str(), &named) == 0 && fstat(descriptor, &opened) == 0 && named.st_dev == opened.st_dev &&
         named.st_ino == opened.st_ino;
}

}  // namespace

std::string LockFilePathFor(const char* mutexName) {
  std::string name = LockDirectory() + "/tessora.";
  for (const char* c = mutexName; *c != '\0'; ++c) {
    switch (*c) {
      case '%': name += "%25"; break;
      case '/': name += "%2F"; break;
      case '\\': name += "%5C"; break;
      default: name += *c;
    }
  }
  return name;
}

std::unique_ptr<NamedMutex> PosixNamedMutex::Open(const char* name, std::uint32_t& lastError) {
  if (name == nullptr || *name == '\0') {
    lastError = kErrorInvalidParameter;
    return nullptr;
  }
  std::string path = LockFilePathFor(name);
  if (path.size() - path.rfind('/') - 1 > NAME_MAX) {
    lastError = kErrorInvalidParameter;
    return nullptr;
  }
  bool writable = false;
  bool created = false;
  int descriptor = OpenLockFile(path, writable, created, lastError);
  if (descriptor < 0) return nullptr;
  lastError = created ? kErrorSuccess : kErrorAlreadyExists;
  return std::unique_ptr<NamedMutex>(new PosixNamedMutex(std::move(path), descriptor, writable));
}

PosixNamedMutex::~PosixNamedMutex() {
  if (descriptor_ >= 0) close(descriptor_);
}

std::uint32_t PosixNamedMutex::LockFile(std::uint32_t timeoutMilliseconds,
                                        std::chrono::steady_clock::time_point deadline) {
  int operation = timeoutMilliseconds == kInfinite ? LOCK_EX : LOCK_EX | LOCK_NB;
  for (;;) {
    if (flock(descriptor_, operation) == 0) return kWaitObject0;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) return kWaitFailed;
    if (std::chrono::steady_clock::now() >= deadline) return kWaitTimeout;
    // flock has no time-out of its own; another process's hold is waited out in steps.
    std::this_thread::sleep_for(kFilePollInterval);
  }
}

std::uint32_t PosixNamedMutex::LockCurrentFile(std::uint32_t timeoutMilliseconds,
                                               std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    if (descriptor_ < 0) {
      bool created = false;
      std::uint32_t ignored = 0;
      descriptor_ = OpenLockFile(path_, writable_, created, ignored);
      if (descriptor_ < 0) return kWaitFailed;
    }
    if (std::uint32_t result = LockFile(timeoutMilliseconds, deadline); result != kWaitObject0) return result;
    if (NamesFile(path_, descriptor_)) return kWaitObject0;
    // The holder before removed the file after this one was opened: the lock is the file
    // that has the name now.
    close(descriptor_);
    descriptor_ = -1;
  }
}

bool PosixNamedMutex::SwapHeldMark(char mark) {
  if (!writable_) return false;
  char before = kMarkFree;
  bool wasHeld = pread(descriptor_, &before, 1, 0) == 1 && before == kMarkHeld;
  // A mark that cannot be written loses only the report of an abandonment, not the lock.
  return pwrite(descriptor_, &mark, 1, 0) == 1 && wasHeld;
}

std::uint32_t PosixNamedMutex::Wait(std::uint32_t timeoutMilliseconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
  if (timeoutMilliseconds == kInfinite) {
    threads_.lock();
  } else {
    // Polled rather than a timed lock: ThreadSanitizer does not follow the clock-based lock
    // call a timed mutex makes, and would report the unlock after it as a fault.
    while (!threads_.try_lock()) {
      if (std::chrono::steady_clock::now() >= deadline) return kWaitTimeout;
      std::this_thread::sleep_for(kFilePollInterval);
    }
  }
  if (depth_ > 0) {
    ++depth_;
    return kWaitObject0;
  }
  if (std::uint32_t result = LockCurrentFile(timeoutMilliseconds, deadline); result != kWaitObject0) {
    threads_.unlock();
    return result;
  }
  depth_ = 1;
  owner_ = std::this_thread::get_id();
  return SwapHeldMark(kMarkHeld) ? kWaitAbandoned : kWaitObject0;
}

bool PosixNamedMutex::Release() {
  if (owner_.load() != std::this_thread::get_id()) return false;
  if (--depth_ == 0) {
    owner_ = std::thread::id{};
    SwapHeldMark(kMarkFree);
    // Only the holder removes the file, and every taker makes sure it holds the file the
    // name stands for, so no two processes ever hold the lock on two files of one name.
    unlink(path_.c_str());
    flock(descriptor_, LOCK_UN);
  }
  threads_.unlock();
  return true;
}

}  // namespace tessora

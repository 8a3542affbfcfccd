#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/named_mutex.h"

namespace tessora {

// A named mutex as a lock file with flock(): every process that opens the same name
// shares it, and the kernel lets go of it when its holder dies, so nothing stale stays
// behind a killed process. The files live in /run/lock (or /tmp where there is none) and
// are made readable and writable for every user, so a run as root leaves nothing that
// keeps another user out. The last release removes the file, so that a day of runs on
// ever new boards does not fill the lock place; a taker whose file was removed meanwhile
// takes the file of the name anew. Within the process a thread lock makes it owned by a
// thread and recursive for its owner, as on Windows. A holder that ended without
// releasing leaves the file with a mark in it; the next taker gets kWaitAbandoned.
class PosixNamedMutex : public NamedMutex {
 public:
  static std::unique_ptr<NamedMutex> Open(const char* name, std::uint32_t& lastError);
  ~PosixNamedMutex() override;
  PosixNamedMutex(const PosixNamedMutex&) = delete;
  PosixNamedMutex& operator=(const PosixNamedMutex&) = delete;

  std::uint32_t Wait(std::uint32_t timeoutMilliseconds) override;
  bool Release() override;

 private:
  PosixNamedMutex(std::string path, int descriptor, bool writable)
      : path_(std::move(path)), descriptor_(descriptor), writable_(writable) {}
  // kWaitObject0, kWaitTimeout or kWaitFailed.
  std::uint32_t LockFile(std::uint32_t timeoutMilliseconds, std::chrono::steady_clock::time_point deadline);
  // kWaitObject0 with the file the path names now locked, kWaitTimeout or kWaitFailed.
  std::uint32_t LockCurrentFile(std::uint32_t timeoutMilliseconds, std::chrono::steady_clock::time_point deadline);
  bool SwapHeldMark(char mark);  // true when the file was marked held before

  std::string path_;
  int descriptor_;
  bool writable_;  // a file another user made without write access still locks, unmarked
  std::recursive_mutex threads_;
  std::atomic<std::thread::id> owner_{};
  int depth_ = 0;  // levels taken by the owner thread
};

// The environment variable naming the directory of the lock files.
inline constexpr const char* kLockDirectoryVariable = "TESSORA_LOCK_DIR";

// The lock file for a mutex name: "\" and "/" cannot appear in a file name, so they are
// escaped (as is the escape character), keeping distinct names distinct.
std::string LockFilePathFor(const char* mutexName);

}  // namespace tessora

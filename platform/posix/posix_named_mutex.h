#pragma once
#include <sys/socket.h>
#include <sys/un.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/named_mutex.h"
#include "platform/posix/unique_descriptor.h"

namespace tessora {

// The environment variable naming a lock namespace: programs share a lock only where they
// share the namespace (a container, a test run); unset, every program on the machine does.
inline constexpr const char* kLockNamespaceVariable = "TESSORA_LOCK_NAMESPACE";

// A named mutex as a Linux abstract Unix socket address: holding the lock is keeping a
// socket bound to the name's address, and a bind that finds the address in use finds the
// lock held. Abstract addresses need no directory any user could lack write access to,
// are shared by every user, leave nothing in the file system, and the kernel frees them
// when the holder's socket closes, however its process ends. Because nothing outlives the
// holder, a lock left by a holder that died is simply free: Wait never reports
// kWaitAbandoned, and Open cannot tell whether the name was opened before. Within the
// process a thread lock makes it owned by a thread and recursive for its owner, as on
// Windows. Abstract addresses belong to a network namespace: a container with a network of
// its own has locks of its own. Binding and closing a socket for every hold is what the lock
// costs; a keep (NamedMutex::Keep) leaves the socket bound between the owner's holds.
class PosixNamedMutex : public NamedMutex {
 public:
  // Null for an empty name, with kErrorInvalidParameter; lastError is otherwise
  // kErrorSuccess. Any name maps to an address: long ones through their hash.
  static std::unique_ptr<NamedMutex> Open(const char* name, const std::string& lockNamespace,
                                          std::uint32_t& lastError);
  ~PosixNamedMutex() override = default;
  PosixNamedMutex(const PosixNamedMutex&) = delete;
  PosixNamedMutex& operator=(const PosixNamedMutex&) = delete;

  // kWaitFailed when no socket can be had or the bind fails for another reason than a
  // holder.
  std::uint32_t Wait(std::uint32_t timeoutMilliseconds) override;
  bool Release() override;
  void Keep() override;
  void EndKeep() override;

 private:
  PosixNamedMutex(const sockaddr_un& address, socklen_t addressLength)
      : address_(address), addressLength_(addressLength) {}
  // kWaitObject0 with bound_ holding the address, kWaitTimeout or kWaitFailed.
  std::uint32_t BindAddress(std::uint32_t timeoutMilliseconds, std::chrono::steady_clock::time_point deadline);

  sockaddr_un address_;
  socklen_t addressLength_;
  UniqueDescriptor bound_;  // the socket bound to the address while the lock is held or kept
  std::recursive_mutex threads_;
  std::atomic<std::thread::id> owner_{};
  int depth_ = 0;  // levels taken by the owner thread
  bool keep_ = false;  // bound_ outlives the last Release; guarded by threads_
};

}  // namespace tessora

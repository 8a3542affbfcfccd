#include "platform/posix/posix_named_mutex.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "platform/types.h"

namespace tessora {

namespace {

constexpr char kAddressPrefix[] = "tessora-lock-";
constexpr std::size_t kHashDigits = 16;
// The end of the name, for a person who looks at the bound addresses (ss -xl); the hash
// alone tells names apart.
constexpr std::size_t kReadableLength = 48;
// The leading zero byte that makes the address abstract, the prefix, the hash, a dash and
// the readable part.
constexpr std::size_t kLongestAddress = 1 + (sizeof kAddressPrefix - 1) + kHashDigits + 1 + kReadableLength;
static_assert(kLongestAddress <= sizeof(sockaddr_un::sun_path), "a lock address must fit sun_path");

// Another process's hold is waited out in steps, short at first: most holds last one
// request.
constexpr auto kFirstPause = std::chrono::milliseconds(1);
constexpr auto kLongestPause = std::chrono::milliseconds(16);
constexpr auto kThreadPollInterval = std::chrono::milliseconds(1);

// 64-bit FNV-1a: the same in every build, so every program maps a name to one address. The
// zero byte keeps namespace "a" with name "bc" apart from namespace "ab" with name "c".
std::uint64_t NameHash(const std::string& lockNamespace, const char* name) {
  std::uint64_t hash = 0xCBF29CE484222325u;
  auto add = [&hash](char byte) { hash = (hash ^ static_cast<unsigned char>(byte)) * 0x100000001B3u; };
  for (char c : lockNamespace) add(c);
  add('\0');
  for (const char* c = name; *c != '\0'; ++c) add(*c);
  return hash;
}

// "\0tessora-lock-<hash>-<end of the name>"; abstract addresses are counted, not
// terminated, so the length is part of the address.
bool LockAddress(const char* name, const std::string& lockNamespace, sockaddr_un& address, socklen_t& length) {
  char text[kLongestAddress + 1];
  std::size_t nameLength = std::strlen(name);
  const char* readable = name + (nameLength > kReadableLength ? nameLength - kReadableLength : 0);
  int written = std::snprintf(text, sizeof text, "%s%016llx-%s", kAddressPrefix,
                              static_cast<unsigned long long>(NameHash(lockNamespace, name)), readable);
  if (written < 0 || static_cast<std::size_t>(written) >= sizeof text ||
      static_cast<std::size_t>(written) + 1 > sizeof address.sun_path)
    return false;
  address = sockaddr_un{};
  address.sun_family = AF_UNIX;
  for (int i = 0; i < written; ++i) {
    char c = text[i];
    address.sun_path[1 + i] = c > ' ' && c < 0x7F ? c : '_';
  }
  length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + static_cast<std::size_t>(written));
  return true;
}

}  // namespace

std::unique_ptr<NamedMutex> PosixNamedMutex::Open(const char* name, const std::string& lockNamespace,
                                                  std::uint32_t& lastError) {
  sockaddr_un address{};
  socklen_t length = 0;
  if (name == nullptr || *name == '\0' || !LockAddress(name, lockNamespace, address, length)) {
    lastError = kErrorInvalidParameter;
    return nullptr;
  }
  lastError = kErrorSuccess;
  return std::unique_ptr<NamedMutex>(new PosixNamedMutex(address, length));
}

std::uint32_t PosixNamedMutex::BindAddress(std::uint32_t timeoutMilliseconds,
                                           std::chrono::steady_clock::time_point deadline) {
  // Every program binds the same socket type: abstract addresses of different types do
  // not collide.
  UniqueDescriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!socket.Valid()) return kWaitFailed;
  auto pause = kFirstPause;
  for (;;) {
    if (::bind(socket.Get(), reinterpret_cast<const sockaddr*>(&address_), addressLength_) == 0) {
      bound_ = std::move(socket);
      return kWaitObject0;
    }
    if (errno != EADDRINUSE) return kWaitFailed;
    auto now = std::chrono::steady_clock::now();
    if (timeoutMilliseconds != kInfinite && now >= deadline) return kWaitTimeout;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now) + std::chrono::milliseconds(1);
    std::this_thread::sleep_for(timeoutMilliseconds == kInfinite ? pause : std::min(pause, left));
    pause = std::min(pause * 2, kLongestPause);
  }
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
      std::this_thread::sleep_for(kThreadPollInterval);
    }
  }
  if (depth_ > 0) {
    ++depth_;
    return kWaitObject0;
  }
  // A kept address is still this process's: no other can have taken it meanwhile.
  if (!bound_.Valid()) {
    if (std::uint32_t result = BindAddress(timeoutMilliseconds, deadline); result != kWaitObject0) {
      threads_.unlock();
      return result;
    }
  }
  depth_ = 1;
  owner_ = std::this_thread::get_id();
  return kWaitObject0;
}

bool PosixNamedMutex::Release() {
  if (owner_.load() != std::this_thread::get_id()) return false;
  if (--depth_ == 0) {
    owner_ = std::thread::id{};
    // Closing the socket frees the address: the next bind, in any process, takes it.
    if (!keep_) bound_.Reset();
  }
  threads_.unlock();
  return true;
}

void PosixNamedMutex::Keep() {
  std::lock_guard hold(threads_);
  keep_ = true;
}

void PosixNamedMutex::EndKeep() {
  std::lock_guard hold(threads_);
  keep_ = false;
  if (depth_ == 0) bound_.Reset();
}

}  // namespace tessora

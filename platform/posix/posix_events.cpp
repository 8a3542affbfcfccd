#include "platform/posix/posix_events.h"

#include <chrono>

namespace tessora {

namespace {

// As on Windows, a wait covers at most this many objects.
constexpr std::uint32_t kMaximumWaitObjects = 64;

}  // namespace

OsHandle PosixEventTable::Create() {
  std::lock_guard lock(mutex_);
  OsHandle handle = nextHandle_;
  nextHandle_ += 4;
  signalled_.emplace(handle, false);
  return handle;
}

bool PosixEventTable::Set(OsHandle event) {
  std::lock_guard lock(mutex_);
  auto found = signalled_.find(event);
  if (found == signalled_.end()) return false;
  found->second = true;
  changed_.notify_all();
  return true;
}

bool PosixEventTable::Reset(OsHandle event) {
  std::lock_guard lock(mutex_);
  auto found = signalled_.find(event);
  if (found == signalled_.end()) return false;
  found->second = false;
  return true;
}

bool PosixEventTable::Close(OsHandle event) {
  std::lock_guard lock(mutex_);
  return signalled_.erase(event) == 1;
}

std::uint32_t PosixEventTable::FirstSet(std::uint32_t count, const OsHandle* events) const {
  for (std::uint32_t i = 0; i < count; ++i) {
    auto found = signalled_.find(events[i]);
    if (found == signalled_.end()) return kWaitFailed;
    if (found->second) return i;
  }
  return count;
}

std::uint32_t PosixEventTable::WaitForAny(std::uint32_t count, const OsHandle* events, std::uint32_t milliseconds) {
  if (events == nullptr || count == 0 || count > kMaximumWaitObjects) return kWaitFailed;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  std::unique_lock lock(mutex_);
  for (;;) {
    std::uint32_t index = FirstSet(count, events);
    if (index == kWaitFailed) return kWaitFailed;
    if (index < count) {
      signalled_[events[index]] = false;
      return kWaitObject0 + index;
    }
    if (milliseconds == kInfinite) {
      changed_.wait(lock);
    } else if (changed_.wait_until(lock, deadline) == std::cv_status::timeout) {
      index = FirstSet(count, events);
      if (index == kWaitFailed) return kWaitFailed;
      if (index == count) return kWaitTimeout;
    }
  }
}

}  // namespace tessora

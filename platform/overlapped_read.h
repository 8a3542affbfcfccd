#pragma once
#include <cstdint>

#include "platform/device_stack.h"

namespace tessora {

// One overlapped read that never outlives its record: however the owner leaves, a read
// still running is cancelled and collected before the record and the buffer go away.
class OverlappedRead {
 public:
  OverlappedRead(DeviceStack& stack, OsHandle device, OsHandle event) : stack_(stack), device_(device) {
    record_.event = event;
  }
  OverlappedRead(const OverlappedRead&) = delete;
  OverlappedRead& operator=(const OverlappedRead&) = delete;
  ~OverlappedRead() {
    if (!running_) return;
    stack_.CancelIoEx(device_, record_);
    std::uint32_t ignored = 0;
    stack_.GetOverlappedResult(device_, record_, &ignored, true);
  }

  // True when the read completed at once; Started() tells whether it is under way at all.
  bool Start(void* buffer, std::uint32_t size) {
    bool done = stack_.ReadFileOverlapped(device_, buffer, size, record_);
    running_ = !done && stack_.GetLastError() == kErrorIoPending;
    started_ = done || running_;
    return done;
  }
  bool Started() const { return started_; }

  // The outcome without waiting: false while the read runs, and when it failed.
  bool Collect(std::uint32_t& transferred) {
    transferred = 0;
    if (!started_) return false;
    bool ended = stack_.GetOverlappedResult(device_, record_, &transferred, false);
    if (ended || stack_.GetLastError() != kErrorIoIncomplete) running_ = false;
    return ended;
  }

 private:
  DeviceStack& stack_;
  OsHandle device_;
  OverlappedIo record_;
  bool started_ = false;
  bool running_ = false;
};

}  // namespace tessora

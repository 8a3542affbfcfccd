#pragma once
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "platform/types.h"

namespace tessora {

// Win32-style auto-reset events for Linux. One lock and one condition guard all events
// of the table, so that a thread can wait for any of several events at once.
class PosixEventTable {
 public:
  OsHandle Create();
  bool Set(OsHandle event);
  bool Reset(OsHandle event);
  bool Close(OsHandle event);
  std::uint32_t WaitForAny(std::uint32_t count, const OsHandle* events, std::uint32_t milliseconds);

 private:
  // Index of the first set event of the list, or count when none is; kWaitFailed when a
  // handle is not an event of this table.
  std::uint32_t FirstSet(std::uint32_t count, const OsHandle* events) const;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<OsHandle, bool> signalled_;
  OsHandle nextHandle_ = 0x2000;
};

}  // namespace tessora

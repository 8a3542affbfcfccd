#pragma once
#include <cstdint>

namespace tessora {

// A mutex shared by every process that opens the same name. It is owned by a thread,
// recursive for its owner, and abandoned when its owner ends; the next waiter then gets
// it, with kWaitAbandoned where the system remembers the holder (Windows; Linux keeps no
// trace of it and says kWaitObject0). Callers release what they take rather than rely on
// closing the object.
class NamedMutex {
 public:
  virtual ~NamedMutex() = default;

  // kWaitObject0, kWaitAbandoned, kWaitTimeout or kWaitFailed; kInfinite waits for ever.
  virtual std::uint32_t Wait(std::uint32_t timeoutMilliseconds) = 0;
  // Gives up one level of ownership; false when the calling thread does not own it.
  virtual bool Release() = 0;
};

}  // namespace tessora

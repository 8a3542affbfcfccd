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

  // Between Keep and EndKeep a lock whose every hold costs the system a new mark (Linux: a
  // socket bound to the name's address) keeps that mark from the owner's last Release to
  // its next Wait: the owner takes the lock again without writing the mark, and other
  // processes find the lock held until EndKeep, or until the keeper ends, which frees it
  // as it frees any hold. Within the process the lock is free between holds as ever. A
  // lock whose mark is the system's own ownership (Windows, where a released mutex goes
  // at once to a program waiting for it) takes and gives back as without a keep.
  virtual void Keep() {}
  virtual void EndKeep() {}
};

}  // namespace tessora

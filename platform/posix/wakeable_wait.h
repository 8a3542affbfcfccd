#pragma once
#include <cstdint>
#include <functional>

#include "platform/posix/unique_descriptor.h"

namespace tessora {

// A wait on one descriptor that another thread can end early: the half every Linux device
// watch shares. Valid() is false when the system gave no eventfd.
class WakeableWait {
 public:
  WakeableWait();
  bool Valid() const { return wake_.Valid(); }
  // Waits until `watched` is readable, Wake() was called, or timeoutMs passed. A readable
  // `watched` is handed to drain, which reads what is waiting; false when the time ran out.
  bool Wait(int watched, std::uint32_t timeoutMs, const std::function<void()>& drain);
  void Wake();

 private:
  UniqueDescriptor wake_;
};

}  // namespace tessora

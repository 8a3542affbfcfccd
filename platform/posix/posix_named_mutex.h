#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/named_mutex.h"

namespace tessora {

struct SharedMutexBlock;

// A robust, recursive, process-shared pthread mutex living in POSIX shared memory named
// after the mutex. A holder that dies leaves it to the next waiter as abandoned, which
// is what Windows does with a mutex whose owner ended. The last user to close the name
// removes the shared memory, as Windows drops a named object with its last handle.
class PosixNamedMutex : public NamedMutex {
 public:
  static std::unique_ptr<NamedMutex> Open(const char* name, std::uint32_t& lastError);
  ~PosixNamedMutex() override;
  PosixNamedMutex(const PosixNamedMutex&) = delete;
  PosixNamedMutex& operator=(const PosixNamedMutex&) = delete;

  std::uint32_t Wait(std::uint32_t timeoutMilliseconds) override;
  bool Release() override;

 private:
  PosixNamedMutex(std::string objectName, int descriptor, SharedMutexBlock* block)
      : objectName_(std::move(objectName)), descriptor_(descriptor), block_(block) {}

  std::string objectName_;
  int descriptor_;
  SharedMutexBlock* block_;
};

// The shared-memory object name for a mutex name: "\" and "/" cannot appear in it, so
// they are escaped (as is the escape character), keeping distinct names distinct.
std::string SharedMemoryNameFor(const char* mutexName);

}  // namespace tessora

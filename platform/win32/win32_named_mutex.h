#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>

#include "platform/named_mutex.h"

namespace tessora {

// CreateMutexA / WaitForSingleObject / ReleaseMutex; the handle is closed with the object.
class Win32NamedMutex : public NamedMutex {
 public:
  static std::unique_ptr<NamedMutex> Open(const char* name, std::uint32_t& lastError);
  ~Win32NamedMutex() override { ::CloseHandle(handle_); }
  Win32NamedMutex(const Win32NamedMutex&) = delete;
  Win32NamedMutex& operator=(const Win32NamedMutex&) = delete;

  std::uint32_t Wait(std::uint32_t timeoutMilliseconds) override;
  bool Release() override;

 private:
  explicit Win32NamedMutex(HANDLE handle) : handle_(handle) {}

  HANDLE handle_;
};

}  // namespace tessora

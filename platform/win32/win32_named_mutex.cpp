#include "platform/win32/win32_named_mutex.h"

namespace tessora {

std::unique_ptr<NamedMutex> Win32NamedMutex::Open(const char* name, std::uint32_t& lastError) {
  HANDLE handle = ::CreateMutexA(nullptr, FALSE, name);
  lastError = ::GetLastError();
  if (handle == nullptr) return nullptr;
  return std::unique_ptr<NamedMutex>(new Win32NamedMutex(handle));
}

std::uint32_t Win32NamedMutex::Wait(std::uint32_t timeoutMilliseconds) {
  return ::WaitForSingleObject(handle_, timeoutMilliseconds);
}

bool Win32NamedMutex::Release() { return ::ReleaseMutex(handle_) != FALSE; }

}  // namespace tessora

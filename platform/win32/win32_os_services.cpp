#include "platform/win32/win32_os_services.h"

#include <windows.h>

#include "platform/win32/win32_named_mutex.h"

namespace tessora {

void Win32OsServices::Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

std::uint64_t Win32OsServices::TickCount() { return ::GetTickCount64(); }

OsVersion Win32OsServices::GetVersionExA() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof(info);  // 148
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!::GetVersionExA(&info)) return OsVersion{};
#pragma GCC diagnostic pop
  return OsVersion{info.dwMajorVersion, info.dwMinorVersion, info.dwPlatformId};
}

void Win32OsServices::OutputDebugStringA(const char* text) {
  if (text != nullptr) ::OutputDebugStringA(text);
}

std::unique_ptr<NamedMutex> Win32OsServices::CreateMutexA(const char* name, std::uint32_t& lastError) {
  return Win32NamedMutex::Open(name, lastError);
}

}  // namespace tessora

#include "platform/native_os_services.h"

namespace tessora {

std::unique_ptr<OsServices> CreateNativeOsServices() { return std::make_unique<Win32OsServices>(); }

}  // namespace tessora

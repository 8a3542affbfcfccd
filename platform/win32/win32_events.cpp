// Events and waits of the Windows OS services: the kernel's own event objects, so that
// an overlapped ReadFile can signal them directly.
#include <windows.h>

#include "platform/win32/win32_os_services.h"

namespace tessora {

namespace {

HANDLE ToHandle(OsHandle handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

OsHandle Win32OsServices::CreateEventA() {
  HANDLE event = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
  return reinterpret_cast<OsHandle>(event);
}

bool Win32OsServices::SetEvent(OsHandle event) { return ::SetEvent(ToHandle(event)) != FALSE; }

bool Win32OsServices::ResetEvent(OsHandle event) { return ::ResetEvent(ToHandle(event)) != FALSE; }

bool Win32OsServices::CloseEvent(OsHandle event) { return ::CloseHandle(ToHandle(event)) != FALSE; }

std::uint32_t Win32OsServices::WaitForMultipleObjects(std::uint32_t count, const OsHandle* events,
                                                      std::uint32_t milliseconds) {
  if (events == nullptr || count == 0 || count > MAXIMUM_WAIT_OBJECTS) return kWaitFailed;
  HANDLE handles[MAXIMUM_WAIT_OBJECTS];
  for (std::uint32_t i = 0; i < count; ++i) handles[i] = ToHandle(events[i]);
  return ::WaitForMultipleObjects(count, handles, FALSE, milliseconds);
}

}  // namespace tessora

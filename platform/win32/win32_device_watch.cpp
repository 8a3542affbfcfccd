// Device-interface arrival and removal from the configuration manager. CFGMGR32 is bound
// at run time: the 32-bit program still starts on Windows 7, whose CFGMGR32 has no
// notifications (the station then says it cannot wait for devices).
#include <windows.h>

#include <cstring>

#include "platform/win32/win32_device_watch.h"

namespace tessora {

namespace {

// CM_NOTIFY_FILTER and the calls as Windows 8 declares them, spelled out here so that the
// program does not depend on the SDK's target version.
constexpr DWORD kAllInterfaceClasses = 0x00000001;  // CM_NOTIFY_FILTER_FLAG_ALL_INTERFACE_CLASSES
constexpr int kFilterDeviceInterface = 0;           // CM_NOTIFY_FILTER_TYPE_DEVICEINTERFACE
constexpr DWORD kCrSuccess = 0;
constexpr std::size_t kMaxDeviceIdLength = 200;  // MAX_DEVICE_ID_LEN

struct NotifyFilter {
  DWORD cbSize;
  DWORD Flags;
  int FilterType;
  DWORD Reserved;
  union {
    GUID ClassGuid;
    HANDLE hTarget;
    WCHAR InstanceId[kMaxDeviceIdLength];
  } u;
};

using NotifyCallback = DWORD(CALLBACK*)(HANDLE notify, PVOID context, int action, PVOID eventData, DWORD size);
using RegisterNotification = DWORD(WINAPI*)(NotifyFilter* filter, PVOID context, NotifyCallback callback,
                                            HANDLE* notify);
using UnregisterNotification = DWORD(WINAPI*)(HANDLE notify);

class Win32DeviceWatch : public DeviceWatch {
 public:
  Win32DeviceWatch() : event_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
  ~Win32DeviceWatch() override {
    // Unregistering waits for a callback under way, so the event outlives every call.
    if (notify_ != nullptr) unregister_(notify_);
    if (library_ != nullptr) FreeLibrary(library_);
    if (event_ != nullptr) CloseHandle(event_);
  }
  Win32DeviceWatch(const Win32DeviceWatch&) = delete;
  Win32DeviceWatch& operator=(const Win32DeviceWatch&) = delete;

  bool Start() {
    if (event_ == nullptr) return false;
    library_ = LoadLibraryA("cfgmgr32.dll");
    if (library_ == nullptr) return false;
    auto registerCall = reinterpret_cast<RegisterNotification>(
        reinterpret_cast<void (*)()>(GetProcAddress(library_, "CM_Register_Notification")));
    unregister_ = reinterpret_cast<UnregisterNotification>(
        reinterpret_cast<void (*)()>(GetProcAddress(library_, "CM_Unregister_Notification")));
    if (registerCall == nullptr || unregister_ == nullptr) return false;
    NotifyFilter filter;
    std::memset(&filter, 0, sizeof filter);
    filter.cbSize = sizeof filter;
    filter.Flags = kAllInterfaceClasses;
    filter.FilterType = kFilterDeviceInterface;
    HANDLE notify = nullptr;
    if (registerCall(&filter, event_, &Notified, &notify) != kCrSuccess) return false;
    notify_ = notify;
    return true;
  }

  bool Wait(std::uint32_t timeoutMs) override { return WaitForSingleObject(event_, timeoutMs) == WAIT_OBJECT_0; }
  void Wake() override { SetEvent(event_); }

 private:
  // On a thread of the system's pool: an interface of some class came or went.
  static DWORD CALLBACK Notified(HANDLE, PVOID context, int, PVOID, DWORD) {
    SetEvent(static_cast<HANDLE>(context));
    return ERROR_SUCCESS;
  }

  HANDLE event_;  // auto-reset: set by a notification or a wake, taken by one Wait
  HMODULE library_ = nullptr;
  UnregisterNotification unregister_ = nullptr;
  HANDLE notify_ = nullptr;
};

}  // namespace

std::unique_ptr<DeviceWatch> WatchDeviceInterfaces() {
  auto watch = std::make_unique<Win32DeviceWatch>();
  if (!watch->Start()) return nullptr;
  return watch;
}

}  // namespace tessora

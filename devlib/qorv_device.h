#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "devlib/device_handles.h"
#include "platform/device_stack.h"
#include "platform/named_mutex.h"

namespace tessora {

class QorvDeviceLibrary;

// One device interface found behind the FilterDriver or WinUSB interface. Records are
// made only by the library's enumeration and live until the library goes; callers name
// them by handle and look them up again for every operation.
class QorvDevice {
 public:
  QorvDevice(QorvDeviceLibrary& library, std::uint32_t handle, bool winUsb, std::string devicePath);
  QorvDevice(const QorvDevice&) = delete;
  QorvDevice& operator=(const QorvDevice&) = delete;

  std::uint32_t Handle() const { return handle_; }
  // Made while the WinUSB interface GUID was current; fixed for the record's life.
  bool WinUsb() const { return winUsb_; }
  const std::string& DevicePath() const { return devicePath_; }
  QorvDeviceLibrary& Library() { return library_; }

  // The owning device's instance ID, fetched on first need; null when there is none.
  const char* GetInstanceId();
  // Takes the device's inter-process mutex; an abandoned one counts as taken. One that
  // is not taken is noted with the library.
  bool Lock(std::uint32_t timeoutMilliseconds);
  // Releases one successful Lock.
  void Unlock();
  // Keeps the mutex's mark between this program's Locks until EndKeepLock (see
  // NamedMutex::Keep); nothing when the device has no mutex to keep.
  void KeepLock();
  void EndKeepLock();
  // Opens the device path for one operation (read/write, shared, overlapped for WinUSB).
  DeviceHandle OpenDevice();

  // The name of the device's mutex for an instance ID.
  static std::string MutexName(const char* instanceId, bool terminalServices);

 private:
  friend class QorvDeviceLibrary;
  void FetchInstanceId(OsHandle set, const DevInfoData& element);
  void FetchInstanceIdByPath();
  bool CreateMutexIfNeeded();

  QorvDeviceLibrary& library_;
  std::uint32_t handle_;
  bool winUsb_;
  std::string devicePath_;
  std::optional<std::string> instanceId_;
  std::unique_ptr<NamedMutex> mutex_;
  std::string mutexName_;
};

}  // namespace tessora

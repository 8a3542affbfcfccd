#pragma once
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <string>

#include "devlib/interface_guids.h"
#include "devlib/qorv_device.h"
#include "platform/device_stack.h"
#include "platform/os_services.h"

namespace tessora {

// Receives the library's trace lines, one formatted line per call.
using TraceHook = std::function<void(const char* line)>;

// The class-level state of the driver-interface device library: the list of device
// records found behind the FilterDriver or WinUSB interface, named by handles that stay
// valid for the whole run. Construction is ClassInit and destruction ClassDestroy; the
// program keeps one for the process, tests build their own.
class QorvDeviceLibrary {
 public:
  static constexpr std::uint32_t kFirstHandle = 0x564D0000;
  static constexpr std::uint32_t kHandleStep = 0x83;
  static constexpr std::uint32_t kDefaultLockTimeout = 5000;

  QorvDeviceLibrary(OsServices& os, DeviceStack& stack);
  ~QorvDeviceLibrary();
  QorvDeviceLibrary(const QorvDeviceLibrary&) = delete;
  QorvDeviceLibrary& operator=(const QorvDeviceLibrary&) = delete;

  void SetInterfaceGuid(const Guid& guid);
  Guid InterfaceGuid();

  // Brings the list up to date with the interfaces of the current GUID: those found now
  // move to the front (the last enumerated first), the others keep their records.
  void BuildDeviceList(bool includeAbsent);
  int DeviceCount();
  std::uint32_t FirstDevice();
  std::uint32_t NextDevice(std::uint32_t handle);
  QorvDevice* FindByHandle(std::uint32_t handle);
  // The record whose device path matches, ignoring letter case.
  QorvDevice* GetDevice(const char* path);

  // Lines are formatted only while a hook is set; without one they are discarded.
  void SetTraceHook(TraceHook hook);
  void Trace(const char* format, ...) __attribute__((format(printf, 2, 3)));

  // How long the transports wait for a device's inter-process lock.
  std::uint32_t LockTimeout() const { return lockTimeout_; }
  void SetLockTimeout(std::uint32_t milliseconds) { lockTimeout_ = milliseconds; }

  // A device's inter-process lock that could not be taken (not had in time, or not at all),
  // by name, so that a device the lock kept away is not reported as a device not found.
  void NoteLockFailure(const std::string& mutexName);
  // The lock last noted, which is forgotten; empty when none was.
  std::string TakeLockFailure();

  bool TerminalServices() const { return terminalServices_; }
  OsServices& Os() { return os_; }
  DeviceStack& Stack() { return stack_; }
  std::recursive_mutex& ListLock() { return listLock_; }

 private:
  void ClassInit();
  void ClassDestroy();
  void RefreshInterface(OsHandle set, std::uint32_t index);
  QorvDevice& CreateRecord(OsHandle set, const DevInfoData& element, const char* path);
  std::uint32_t TakeHandle();

  OsServices& os_;
  DeviceStack& stack_;
  std::recursive_mutex listLock_;
  // std::list keeps records in place while splice() moves them to the head.
  std::list<QorvDevice> deviceList_;
  std::uint32_t nextHandle_ = kFirstHandle;
  Guid interfaceGuid_ = FilterDriverInterfaceGuid;
  bool terminalServices_ = false;
  std::uint32_t lockTimeout_ = kDefaultLockTimeout;
  std::mutex traceLock_;
  TraceHook traceHook_;
  std::mutex lockFailureLock_;
  std::string lockFailure_;
};

// The low 32 bits of an address, for trace lines that name records.
std::uint32_t TraceId(const void* address);

}  // namespace tessora

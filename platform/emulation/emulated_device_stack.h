#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/device_stack.h"
#include "platform/emulation/handle_table.h"
#include "platform/os_services.h"

namespace tessora {

// GUID_DEVINTERFACE_HID, the class HID collections are listed under.
inline constexpr Guid kHidInterfaceGuid = {0x4D1E55B2, 0xF16F, 0x11CF,
                                           {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

// A device stack that is not Windows but answers as Windows does: the thread's last error,
// handle values, device interface sets with their required-size rules, file handles, and
// the bookkeeping of overlapped reads. The Linux stack and the simulated one derive from
// it, so that both keep to one reading of Windows; each adds where its interfaces come
// from and how its devices answer.
class EmulatedDeviceStack : public DeviceStack {
 public:
  ~EmulatedDeviceStack() override = default;
  EmulatedDeviceStack(const EmulatedDeviceStack&) = delete;
  EmulatedDeviceStack& operator=(const EmulatedDeviceStack&) = delete;

  std::uint32_t GetLastError() override;

  OsHandle SetupDiGetClassDevsA(const Guid& interfaceClass, std::uint32_t flags) override;
  bool SetupDiEnumDeviceInterfaces(OsHandle set, const Guid& interfaceClass, std::uint32_t index,
                                   DeviceInterfaceData& data) override;
  bool SetupDiGetDeviceInterfaceDetailA(OsHandle set, const DeviceInterfaceData& data, char* path,
                                        std::uint32_t pathSize, std::uint32_t* requiredSize,
                                        DevInfoData* device) override;
  bool SetupDiGetDeviceInstanceIdA(OsHandle set, const DevInfoData& device, char* buffer, std::uint32_t bufferSize,
                                   std::uint32_t* requiredSize) override;
  OsHandle SetupDiCreateDeviceInfoList() override;
  bool SetupDiOpenDeviceInterfaceA(OsHandle set, const char* path, std::uint32_t openFlags,
                                   DeviceInterfaceData* data) override;
  bool SetupDiDestroyDeviceInfoList(OsHandle set) override;

  OsHandle CreateFileA(const char* path, std::uint32_t access, std::uint32_t shareMode, std::uint32_t creation,
                       std::uint32_t flags) override;
  bool CloseHandle(OsHandle handle) override;
  bool ReadFileOverlapped(OsHandle device, void* buffer, std::uint32_t size, OverlappedIo& overlapped) override;
  bool GetOverlappedResult(OsHandle device, OverlappedIo& overlapped, std::uint32_t* transferred,
                           bool wait) override;
  bool CancelIoEx(OsHandle device, OverlappedIo& overlapped) override;

  Guid HidD_GetHidGuid() override { return kHidInterfaceGuid; }

 protected:
  // Overlapped reads signal their events through these services; a stack without them
  // (null) supports no overlapped reads.
  explicit EmulatedDeviceStack(OsServices* events) : events_(events) {}

  // A device interface as a listing found it; a set keeps it as it was then.
  struct ListedInterface {
    Guid interfaceClass{};
    std::string path;
    std::string instanceId;
    bool active = true;  // SPINT_ACTIVE in the enumeration record
    // What asking for the path fails with once the buffer has room; success when it does not fail.
    std::uint32_t pathError = kErrorSuccess;
  };

  // One overlapped read, from ReadFileOverlapped until the next read on its handle or the
  // handle's closing.
  struct OverlappedTransfer {
    explicit OverlappedTransfer(const OverlappedIo& overlapped) : record(&overlapped), event(overlapped.event) {}
    const OverlappedIo* record;  // identifies the transfer; never written through
    OsHandle event;
    std::atomic<bool> ended{false};
    std::uint32_t transferred = 0;  // with error, final once ended
    std::uint32_t error = kErrorSuccess;
    // The thread that carries the read to its end, for a backend whose reads need one; it
    // never takes the stack's lock.
    std::thread carrier;
    std::mutex joining;
  };

  // A file handle's state; each backend derives its own.
  struct OpenFile {
    virtual ~OpenFile() = default;
    std::uint32_t flags = 0;  // CreateFileA's
    std::shared_ptr<OverlappedTransfer> read;  // the latest overlapped read
  };

  // --- what a backend adds; called without the lock held ---
  // The interfaces of the class; with presentOnly (DIGCF_PRESENT), only those present.
  virtual std::vector<ListedInterface> ListInterfaces(const Guid& interfaceClass, bool presentOnly) = 0;
  // The interface at a device path, whatever its letter case.
  virtual std::optional<ListedInterface> LookUpInterface(const char* path) = 0;
  // The file CreateFileA opens; null with the last error set (ERROR_FILE_NOT_FOUND when
  // no interface is there).
  virtual std::unique_ptr<OpenFile> OpenInterface(const char* path, std::uint32_t access, std::uint32_t flags) = 0;

  // --- called with the lock held ---
  // Whether overlapped report reads can run on the file; false with the last error set.
  virtual bool ReadsReports(OpenFile& file) = 0;
  // Puts the file's new read under way. True when it ended at once (EndRead), because the
  // device had a report or failed; false when it runs on, however soon it ends.
  virtual bool StartRead(OpenFile& file, OverlappedTransfer& read, void* buffer, std::uint32_t size) = 0;
  // Asks a running read to end with ERROR_OPERATION_ABORTED; false with the last error set
  // when it cannot.
  virtual bool CancelRead(OpenFile& file, OverlappedTransfer& read) = 0;

  // --- for the backends ---
  static bool Fail(std::uint32_t error) { return FailWith(error); }
  // The series every kind of handle takes its values from, the backends' own kinds too.
  HandleNumbers& Handles() { return handleNumbers_; }
  // Null with ERROR_INVALID_HANDLE unless it is an open file handle.
  OpenFile* FindFile(OsHandle handle);
  // Every open file, in the order the handles were given out.
  HandleTable<std::unique_ptr<OpenFile>>& Files() { return files_; }
  // Device interface sets and file handles still open.
  std::size_t SetAndFileCount() const { return sets_.Count() + files_.Count(); }
  void CloseEveryFile();
  // Gives the read its outcome and sets its event, as Windows does however a read ends.
  void EndRead(OverlappedTransfer& read, std::uint32_t transferred, std::uint32_t error);

  mutable std::recursive_mutex mutex_;

 private:
  using InterfaceSet = std::vector<ListedInterface>;
  // The member an enumeration record names; null with the last error set.
  const ListedInterface* SetMember(OsHandle set, std::uintptr_t reserved);
  // Returns once the read has ended and the stack is done with its event.
  void AwaitEnd(OverlappedTransfer& read);

  OsServices* events_;
  HandleNumbers handleNumbers_;
  HandleTable<InterfaceSet> sets_{handleNumbers_};
  HandleTable<std::unique_ptr<OpenFile>> files_{handleNumbers_};
};

}  // namespace tessora

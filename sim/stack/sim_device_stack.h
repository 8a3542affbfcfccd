#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/device_stack.h"
#include "platform/os_services.h"
#include "sim/board/hid_face.h"
#include "sim/board/sim_board.h"

namespace tessora::sim {

extern const Guid kHidInterfaceGuid;
extern const Guid kFilterDriverGuid;
extern const Guid kWinUsbGuid;

enum class InterfaceKind { Hid, FilterDriver, WinUsb };

// One device interface of the simulated system, as device-interface enumeration lists it.
struct SimInterface {
  InterfaceKind kind = InterfaceKind::Hid;
  Guid interfaceClass{};
  std::string path;
  std::string instanceId;
  bool present = true;
  SimBoard* board = nullptr;      // the controller behind a driver interface or its HID face
  HidFace* hidFace = nullptr;     // null for HID devices that are not the controller
  // The USB device behind the interface: its serial number (empty: none) and its place.
  std::string usbSerial;
  std::string usbPort;

  // HID identity and behaviour.
  HidAttributes attributes{};
  bool attributesFail = false;
  std::u16string product;
  bool productFails = false;
  std::u16string serialNumber;
  HidCaps caps{};
  bool descriptorFails = false;
  bool refusesReadWrite = false;  // keyboards and mice: query-only opens succeed
  bool refusesOpen = false;       // every open fails, even a query-only one
  bool pathFails = false;         // the interface detail is refused once a buffer is given
  bool capsFail = false;
};

// Names under which a board's interfaces appear.
struct BoardIdentity {
  std::uint16_t vendorId = 0x3E9A;
  std::uint16_t productId = 0x0210;
  std::string serial = "QV000001";  // empty: the board has none
  std::string port = "1-1";         // where it is plugged in, "BUS-PORT"
  std::u16string product = u"Qorvane USB Controller";
};

// The device stack of a simulated system: any number of interfaces, among them the faces
// of simulated boards, reached through the same calls and error codes as on Windows.
class SimDeviceStack : public DeviceStack {
 public:
  SimDeviceStack() = default;
  // Overlapped reads signal their events through these services; without them such
  // reads are not supported.
  explicit SimDeviceStack(OsServices& events) : events_(&events) {}
  SimDeviceStack(const SimDeviceStack&) = delete;
  SimDeviceStack& operator=(const SimDeviceStack&) = delete;

  // Lists the faces the board presents (HID, FilterDriver, WinUSB) as interfaces.
  void AttachBoard(SimBoard& board, const BoardIdentity& identity = {});
  std::size_t AddInterface(SimInterface entry);
  SimInterface& Interface(std::size_t index) { return interfaces_[index]; }
  std::size_t InterfaceCount() const { return interfaces_.size(); }
  // Handles still open; a leak shows up here.
  std::size_t OpenHandleCount() const;
  // An input report arriving from the device behind a HID interface that has a face: a
  // pending overlapped read takes it, otherwise it waits for the next read.
  void DeliverInputReport(std::size_t interfaceIndex, std::vector<std::uint8_t> report);

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
  bool DeviceIoControl(OsHandle device, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                       std::uint32_t outSize, std::uint32_t* bytesReturned) override;
  bool WriteFile(OsHandle device, const void* buffer, std::uint32_t size, std::uint32_t* written) override;
  bool ReadFile(OsHandle device, void* buffer, std::uint32_t size, std::uint32_t* read) override;
  bool ReadFileOverlapped(OsHandle device, void* buffer, std::uint32_t size, OverlappedIo& overlapped) override;
  bool GetOverlappedResult(OsHandle device, OverlappedIo& overlapped, std::uint32_t* transferred,
                           bool wait) override;
  bool CancelIoEx(OsHandle device, OverlappedIo& overlapped) override;

  bool WinUsb_Initialize(OsHandle device, OsHandle* interfaceHandle) override;
  bool WinUsb_ControlTransfer(OsHandle interfaceHandle, const UsbSetupPacket& setup, std::uint8_t* buffer,
                              std::uint32_t bufferLength, std::uint32_t* transferred) override;
  bool WinUsb_Free(OsHandle interfaceHandle) override;

  Guid HidD_GetHidGuid() override;
  bool HidD_GetAttributes(OsHandle device, HidAttributes& attributes) override;
  bool HidD_GetProductString(OsHandle device, char16_t* buffer, std::uint32_t bufferBytes) override;
  bool HidD_GetSerialNumberString(OsHandle device, char16_t* buffer, std::uint32_t bufferBytes) override;
  bool HidD_GetPreparsedData(OsHandle device, OsHandle* preparsed) override;
  bool HidD_FreePreparsedData(OsHandle preparsed) override;
  bool HidP_GetCaps(OsHandle preparsed, HidCaps& caps) override;
  bool HidP_HasFeatureReportId(OsHandle preparsed, std::uint8_t reportId) override;
  bool HidD_SetFeature(OsHandle device, const void* report, std::uint32_t length) override;
  bool HidD_GetFeature(OsHandle device, void* report, std::uint32_t length) override;
  std::string UsbPortPath(const char* devicePath) override;
  std::string UsbSerialNumber(const char* devicePath) override;

 private:
  enum class HandleKind { InfoSet, File, Preparsed, WinUsb };
  struct HandleEntry {
    HandleKind kind;
    std::vector<std::size_t> members;  // info set: interface indexes in enumeration order
    std::size_t interfaceIndex = 0;    // file, preparsed data, WinUSB interface
    std::uint32_t access = 0;
    std::uint32_t flags = 0;           // file: CreateFileA flags
  };
  // The one overlapped read of a file handle, from ReadFileOverlapped until the next.
  struct OverlappedRead {
    const OverlappedIo* record = nullptr;  // identifies the transfer; never written through
    OsHandle event = kNullHandle;
    std::uint8_t* buffer = nullptr;
    std::uint32_t size = 0;
    bool ended = false;
    std::uint32_t transferred = 0;
    std::uint32_t error = kErrorSuccess;
  };

  OsHandle NewHandle(HandleEntry entry);
  // The entry of a live handle of that kind, or null with the last error set.
  HandleEntry* Find(OsHandle handle, HandleKind kind);
  // The interface behind a file handle while its device is still there.
  SimInterface* ConnectedInterface(OsHandle device);
  bool Fail(std::uint32_t error);
  bool InterfaceIsPresent(const SimInterface& entry) const;
  // The interface with that path, whatever the letter case; null when there is none.
  const SimInterface* InterfaceAt(const char* path) const;
  // The last part of the board's USB instance ID, as Windows would give it.
  std::string UsbInstanceName(const BoardIdentity& identity, const std::string& ids) const;
  // The board behind a handle of that kind (file or WinUSB interface) while it is there.
  SimBoard* ConnectedBoard(OsHandle handle, HandleKind kind, InterfaceKind expected);
  // Hands waiting input reports to the pending overlapped reads on that interface.
  void CompleteOverlappedReads(std::size_t interfaceIndex);
  void EndOverlappedRead(OverlappedRead& read, std::uint32_t transferred, std::uint32_t error);
  // Closing a handle ends its pending read, as Windows does.
  void AbortOverlappedRead(OsHandle device);

  mutable std::recursive_mutex mutex_;
  std::deque<SimInterface> interfaces_;  // deque: references stay valid as interfaces are added
  std::set<std::string> usbInstances_;   // of the boards attached, whichever faces they have
  std::vector<std::unique_ptr<HidFace>> hidFaces_;
  std::map<OsHandle, HandleEntry> handles_;
  OsHandle nextHandle_ = 0x1000;
  OsServices* events_ = nullptr;
  std::map<OsHandle, OverlappedRead> overlappedReads_;
};

}  // namespace tessora::sim

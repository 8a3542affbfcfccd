#pragma once
#include <cstdint>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/emulation/emulated_device_stack.h"
#include "platform/os_services.h"
#include "sim/board/hid_face.h"
#include "sim/board/sim_board.h"

namespace tessora::sim {

using tessora::kHidInterfaceGuid;
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
class SimDeviceStack : public EmulatedDeviceStack {
 public:
  SimDeviceStack() : EmulatedDeviceStack(nullptr) {}
  // Overlapped reads signal their events through these services; without them such
  // reads are not supported.
  explicit SimDeviceStack(OsServices& events) : EmulatedDeviceStack(&events) {}

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

  bool DeviceIoControl(OsHandle device, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                       std::uint32_t outSize, std::uint32_t* bytesReturned) override;
  bool WriteFile(OsHandle device, const void* buffer, std::uint32_t size, std::uint32_t* written) override;
  bool ReadFile(OsHandle device, void* buffer, std::uint32_t size, std::uint32_t* read) override;

  bool WinUsb_Initialize(OsHandle device, OsHandle* interfaceHandle) override;
  bool WinUsb_ControlTransfer(OsHandle interfaceHandle, const UsbSetupPacket& setup, std::uint8_t* buffer,
                              std::uint32_t bufferLength, std::uint32_t* transferred) override;
  bool WinUsb_Free(OsHandle interfaceHandle) override;

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

 protected:
  std::vector<ListedInterface> ListInterfaces(const Guid& interfaceClass, bool presentOnly) override;
  std::optional<ListedInterface> LookUpInterface(const char* path) override;
  std::unique_ptr<OpenFile> OpenInterface(const char* path, std::uint32_t access, std::uint32_t flags) override;
  bool ReadsReports(OpenFile& file) override;
  bool StartRead(OpenFile& file, OverlappedTransfer& read, void* buffer, std::uint32_t size) override;
  bool CancelRead(OpenFile& file, OverlappedTransfer& read) override;

 private:
  // A file handle on one of the interfaces, and the buffer of its running read.
  struct SimFile : OpenFile {
    explicit SimFile(std::size_t index) : interfaceIndex(index) {}
    std::size_t interfaceIndex;
    std::uint8_t* readBuffer = nullptr;
    std::uint32_t readSize = 0;
  };

  SimFile* FindSimFile(OsHandle device) { return static_cast<SimFile*>(FindFile(device)); }
  // The interface behind a file handle while its device is still there.
  SimInterface* ConnectedInterface(OsHandle device);
  bool InterfaceIsPresent(const SimInterface& entry) const;
  ListedInterface Listing(const SimInterface& entry) const;
  // The interface with that path, whatever the letter case; null when there is none.
  const SimInterface* InterfaceAt(const char* path) const;
  // The last part of the board's USB instance ID, as Windows would give it.
  std::string UsbInstanceName(const BoardIdentity& identity, const std::string& ids) const;
  // The board behind an interface of that kind while it is there; null with the last error set.
  SimBoard* ConnectedBoard(std::size_t interfaceIndex, InterfaceKind expected);
  // Hands waiting input reports to the running overlapped reads on that interface.
  void CompleteOverlappedReads(std::size_t interfaceIndex);
  // Ends the file's running read with the face's next input report when there is one.
  void TakeInputReport(SimFile& file, HidFace& face);

  std::deque<SimInterface> interfaces_;  // deque: references stay valid as interfaces are added
  std::set<std::string> usbInstances_;   // of the boards attached, whichever faces they have
  std::vector<std::unique_ptr<HidFace>> hidFaces_;
  HandleTable<std::size_t> preparsed_{Handles()};  // by interface index
  HandleTable<std::size_t> winUsb_{Handles()};     // by interface index
};

}  // namespace tessora::sim

// The FilterDriver and WinUSB faces of the simulated system. Both turn their requests
// into the board's memory and bus calls; the board traces each logical request once,
// so status polls and data fetches add no lines of their own.
#include <cstring>
#include <optional>
#include <span>
#include <vector>

#include "sim/stack/sim_device_stack.h"

namespace tessora::sim {

namespace {

constexpr std::uint32_t kIoctlMemoryRead = 0x22200C;
constexpr std::uint32_t kIoctlMemoryWrite = 0x222010;
constexpr std::uint32_t kIoctlBusData = 0x222020;
constexpr std::uint32_t kIoctlBusCommand = 0x222024;
constexpr std::uint32_t kIoctlBusStatus = 0x22202C;

constexpr std::uint8_t kVendorOut = 0x40;
constexpr std::uint8_t kVendorIn = 0xC0;
constexpr std::uint8_t kRequestMemoryWrite = 0x04;
constexpr std::uint8_t kRequestMemoryRead = 0x05;
constexpr std::uint8_t kRequestBusCommand = 0x08;
constexpr std::uint8_t kRequestBusResult = 0x09;

std::uint16_t LittleEndian16(const std::uint8_t* bytes) {
  return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

bool CopyOut(const std::optional<std::vector<std::uint8_t>>& bytes, std::uint8_t* out, std::uint32_t* delivered) {
  if (!bytes) return false;
  if (!bytes->empty()) std::memcpy(out, bytes->data(), bytes->size());
  *delivered = static_cast<std::uint32_t>(bytes->size());
  return true;
}

}  // namespace

SimBoard* SimDeviceStack::ConnectedBoard(OsHandle handle, HandleKind kind, InterfaceKind expected) {
  HandleEntry* entry = Find(handle, kind);
  if (entry == nullptr) return nullptr;
  SimInterface& interface = interfaces_[entry->interfaceIndex];
  if (!InterfaceIsPresent(interface)) return Fail(kErrorDeviceNotConnected), nullptr;
  if (interface.kind != expected || interface.board == nullptr) return Fail(kErrorInvalidFunction), nullptr;
  return interface.board;
}

// --- FilterDriver ---

bool SimDeviceStack::DeviceIoControl(OsHandle device, std::uint32_t code, const void* in, std::uint32_t inSize,
                                     void* out, std::uint32_t outSize, std::uint32_t* bytesReturned) {
  std::lock_guard lock(mutex_);
  std::uint32_t ignored = 0;
  std::uint32_t* returned = bytesReturned != nullptr ? bytesReturned : &ignored;
  *returned = 0;
  SimBoard* board = ConnectedBoard(device, HandleKind::File, InterfaceKind::FilterDriver);
  if (board == nullptr) return false;
  if (board->TakeCrcError()) return Fail(kErrorCrc);
  if ((inSize > 0 && in == nullptr) || (outSize > 0 && out == nullptr)) return Fail(kErrorInvalidParameter);
  return FilterDriverRequest(*board, code, static_cast<const std::uint8_t*>(in), inSize,
                             static_cast<std::uint8_t*>(out), outSize, returned);
}

bool SimDeviceStack::FilterDriverRequest(SimBoard& board, std::uint32_t code, const std::uint8_t* in,
                                         std::uint32_t inSize, std::uint8_t* out, std::uint32_t outSize,
                                         std::uint32_t* bytesReturned) {
  switch (code) {
    case kIoctlMemoryRead:
      if (inSize < 2) return Fail(kErrorInvalidParameter);
      if (!CopyOut(board.MemoryRead(Face::FilterDriver, LittleEndian16(in), outSize), out, bytesReturned))
        return Fail(kErrorDeviceNotConnected);
      return true;
    case kIoctlMemoryWrite:
      if (inSize < 2) return Fail(kErrorInvalidParameter);
      if (!board.MemoryWrite(Face::FilterDriver, LittleEndian16(in), std::span(in + 2, inSize - 2)))
        return Fail(kErrorDeviceNotConnected);
      return true;
    case kIoctlBusCommand:
      if (!board.BusCommand(Face::FilterDriver, std::span(in, inSize))) return Fail(kErrorGenFailure);
      return true;
    case kIoctlBusStatus: {
      if (outSize < 1) return Fail(kErrorInsufficientBuffer);
      std::optional<std::uint8_t> status = board.BusStatus();
      if (!status) return Fail(kErrorDeviceNotConnected);
      out[0] = *status;
      *bytesReturned = 1;
      return true;
    }
    case kIoctlBusData:
      if (!CopyOut(board.BusData(outSize), out, bytesReturned)) return Fail(kErrorDeviceNotConnected);
      return true;
    default: return Fail(kErrorInvalidFunction);
  }
}

// --- WinUSB ---

bool SimDeviceStack::WinUsb_Initialize(OsHandle device, OsHandle* interfaceHandle) {
  std::lock_guard lock(mutex_);
  if (interfaceHandle == nullptr) return Fail(kErrorInvalidParameter);
  SimBoard* board = ConnectedBoard(device, HandleKind::File, InterfaceKind::WinUsb);
  if (board == nullptr) return false;
  HandleEntry* file = Find(device, HandleKind::File);
  // WinUSB works only on handles opened for overlapped I/O.
  if ((file->flags & kFileFlagOverlapped) == 0) return Fail(kErrorInvalidParameter);
  if (board->Config().winUsbInitFails) return Fail(kErrorGenFailure);
  *interfaceHandle = NewHandle(HandleEntry{HandleKind::WinUsb, {}, file->interfaceIndex, 0, 0});
  return true;
}

bool SimDeviceStack::WinUsb_ControlTransfer(OsHandle interfaceHandle, const UsbSetupPacket& setup,
                                            std::uint8_t* buffer, std::uint32_t bufferLength,
                                            std::uint32_t* transferred) {
  std::lock_guard lock(mutex_);
  std::uint32_t ignored = 0;
  std::uint32_t* moved = transferred != nullptr ? transferred : &ignored;
  *moved = 0;
  SimBoard* board = ConnectedBoard(interfaceHandle, HandleKind::WinUsb, InterfaceKind::WinUsb);
  if (board == nullptr) return false;
  if (bufferLength < setup.length || (setup.length > 0 && buffer == nullptr)) return Fail(kErrorInvalidParameter);
  return WinUsbRequest(*board, setup, buffer, moved);
}

// A request the controller does not know stalls the pipe, which WinUSB reports as a
// general failure.
bool SimDeviceStack::WinUsbRequest(SimBoard& board, const UsbSetupPacket& setup, std::uint8_t* buffer,
                                   std::uint32_t* transferred) {
  std::span<const std::uint8_t> sent(buffer, setup.length);
  if (setup.requestType == kVendorOut && setup.request == kRequestMemoryWrite) {
    if (!board.MemoryWrite(Face::WinUsb, setup.index, sent)) return Fail(kErrorGenFailure);
    *transferred = setup.length;
    return true;
  }
  if (setup.requestType == kVendorIn && setup.request == kRequestMemoryRead) {
    if (!CopyOut(board.MemoryRead(Face::WinUsb, setup.index, setup.length), buffer, transferred))
      return Fail(kErrorGenFailure);
    return true;
  }
  if (setup.requestType == kVendorOut && setup.request == kRequestBusCommand) {
    if (!board.BusCommand(Face::WinUsb, sent)) return Fail(kErrorGenFailure);
    *transferred = setup.length;
    return true;
  }
  if (setup.requestType == kVendorIn && setup.request == kRequestBusResult && setup.value == 1) {
    std::optional<std::uint8_t> status = board.BusStatus();
    if (!status || setup.length < 1) return Fail(kErrorGenFailure);
    buffer[0] = *status;
    *transferred = 1;
    return true;
  }
  if (setup.requestType == kVendorIn && setup.request == kRequestBusResult && setup.value == 0) {
    if (!CopyOut(board.BusData(setup.length), buffer, transferred)) return Fail(kErrorGenFailure);
    return true;
  }
  return Fail(kErrorGenFailure);
}

bool SimDeviceStack::WinUsb_Free(OsHandle interfaceHandle) {
  std::lock_guard lock(mutex_);
  if (Find(interfaceHandle, HandleKind::WinUsb) == nullptr) return false;
  handles_.erase(interfaceHandle);
  return true;
}

}  // namespace tessora::sim

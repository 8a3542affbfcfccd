// The FilterDriver and WinUSB calls of the simulated system: Windows's handles and its checks
// of their arguments, in front of the board's faces, which answer the requests themselves.
#include <span>

#include "sim/board/filter_driver_face.h"
#include "sim/board/winusb_face.h"
#include "sim/stack/sim_device_stack.h"

namespace tessora::sim {

SimBoard* SimDeviceStack::ConnectedBoard(std::size_t interfaceIndex, InterfaceKind expected) {
  SimInterface& interface = interfaces_[interfaceIndex];
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
  SimFile* file = FindSimFile(device);
  SimBoard* board = file != nullptr ? ConnectedBoard(file->interfaceIndex, InterfaceKind::FilterDriver) : nullptr;
  if (board == nullptr) return false;
  std::uint32_t error = FilterDriverFace(*board).IoControl(code, static_cast<const std::uint8_t*>(in), inSize,
                                                           static_cast<std::uint8_t*>(out), outSize, *returned);
  return error == kErrorSuccess ? true : Fail(error);
}

// --- WinUSB ---

bool SimDeviceStack::WinUsb_Initialize(OsHandle device, OsHandle* interfaceHandle) {
  std::lock_guard lock(mutex_);
  if (interfaceHandle == nullptr) return Fail(kErrorInvalidParameter);
  SimFile* file = FindSimFile(device);
  SimBoard* board = file != nullptr ? ConnectedBoard(file->interfaceIndex, InterfaceKind::WinUsb) : nullptr;
  if (board == nullptr) return false;
  // WinUSB works only on handles opened for overlapped I/O.
  if ((file->flags & kFileFlagOverlapped) == 0) return Fail(kErrorInvalidParameter);
  if (board->Config().winUsbInitFails) return Fail(kErrorGenFailure);
  *interfaceHandle = winUsb_.Add(file->interfaceIndex);
  return true;
}

// WinUSB reports a request the controller stalled as a general failure.
bool SimDeviceStack::WinUsb_ControlTransfer(OsHandle interfaceHandle, const UsbSetupPacket& setup,
                                            std::uint8_t* buffer, std::uint32_t bufferLength,
                                            std::uint32_t* transferred) {
  std::lock_guard lock(mutex_);
  std::uint32_t ignored = 0;
  std::uint32_t* moved = transferred != nullptr ? transferred : &ignored;
  *moved = 0;
  std::size_t* index = winUsb_.Find(interfaceHandle);
  SimBoard* board = index != nullptr ? ConnectedBoard(*index, InterfaceKind::WinUsb) : nullptr;
  if (board == nullptr) return false;
  if (bufferLength < setup.length || (setup.length > 0 && buffer == nullptr)) return Fail(kErrorInvalidParameter);
  if (!WinUsbFace(*board).ControlTransfer(setup, std::span(buffer, setup.length), *moved))
    return Fail(kErrorGenFailure);
  return true;
}

bool SimDeviceStack::WinUsb_Free(OsHandle interfaceHandle) {
  std::lock_guard lock(mutex_);
  return winUsb_.Remove(interfaceHandle);
}

}  // namespace tessora::sim

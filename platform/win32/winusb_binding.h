#pragma once
#include <windows.h>

#include <mutex>

namespace tessora {

// WINUSB.DLL, loaded at the first WinUSB call and kept loaded: the HID and FilterDriver
// paths must run on systems that lack it, so nothing links it.
class WinUsbBinding {
 public:
#pragma pack(push, 1)
  struct SetupPacket {
    UCHAR requestType;
    UCHAR request;
    USHORT value;
    USHORT index;
    USHORT length;
  };
#pragma pack(pop)

  using InitializeCall = BOOL(WINAPI*)(HANDLE device, PVOID* interfaceHandle);
  using ControlTransferCall = BOOL(WINAPI*)(PVOID interfaceHandle, SetupPacket setup, PUCHAR buffer,
                                            ULONG bufferLength, PULONG transferred, LPOVERLAPPED overlapped);
  using FreeCall = BOOL(WINAPI*)(PVOID interfaceHandle);

  // True when the library and all three calls are there; the first call does the work.
  bool Bind();

  InitializeCall initialize = nullptr;
  ControlTransferCall controlTransfer = nullptr;
  FreeCall freeInterface = nullptr;

 private:
  std::once_flag once_;
  bool bound_ = false;
  DWORD bindError_ = ERROR_SUCCESS;
};

}  // namespace tessora

#include "platform/win32/winusb_binding.h"

namespace tessora {

namespace {

// GetProcAddress hands out a generic function pointer; going through void(*)() is the
// conversion GCC accepts without a cast-function-type warning.
template <typename Call>
Call Resolve(HMODULE library, const char* name) {
  return reinterpret_cast<Call>(reinterpret_cast<void (*)()>(::GetProcAddress(library, name)));
}

}  // namespace

bool WinUsbBinding::Bind() {
  std::call_once(once_, [this] {
    HMODULE library = ::LoadLibraryA("WINUSB.DLL");
    if (library == nullptr) {
      bindError_ = ::GetLastError();
      return;
    }
    initialize = Resolve<InitializeCall>(library, "WinUsb_Initialize");
    controlTransfer = Resolve<ControlTransferCall>(library, "WinUsb_ControlTransfer");
    freeInterface = Resolve<FreeCall>(library, "WinUsb_Free");
    bound_ = initialize != nullptr && controlTransfer != nullptr && freeInterface != nullptr;
    if (!bound_) bindError_ = ERROR_PROC_NOT_FOUND;
  });
  if (!bound_) ::SetLastError(bindError_);
  return bound_;
}

}  // namespace tessora

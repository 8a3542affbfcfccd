#include "tests/support/driver_rig.h"

#include "platform/native_os_services.h"
#include "tests/support/test_support.h"

namespace tessora::testing {

OsHandle CountingSimStack::CreateFileA(const char* path, std::uint32_t access, std::uint32_t shareMode,
                                       std::uint32_t creation, std::uint32_t flags) {
  ++opens;
  OsHandle handle = SimDeviceStack::CreateFileA(path, access, shareMode, creation, flags);
  if (unplugAfterOpen && IsUsable(handle)) {
    for (std::size_t i = 0; i < InterfaceCount(); ++i)
      if (Interface(i).path == path) Interface(i).present = false;
  }
  return handle;
}

bool CountingSimStack::DeviceIoControl(OsHandle device, std::uint32_t code, const void* in, std::uint32_t inSize,
                                       void* out, std::uint32_t outSize, std::uint32_t* bytesReturned) {
  ++ioControls;
  return SimDeviceStack::DeviceIoControl(device, code, in, inSize, out, outSize, bytesReturned);
}

DriverRig::DriverRig()
    : native(CreateNativeOsServices()),
      clock(*native),
      library(clock, stack),
      dispatch(library),
      context(settings, dispatch) {
  library.SetLockTimeout(kTestLockTimeoutMs);
  context.os = &clock;
  context.driverDevices = &library;
}

DriverRig::~DriverRig() {
  for (const std::string& serial : serials) RemoveLockFiles(serial);
}

sim::SimBoard& DriverRig::AddBoard(sim::BoardConfig config, std::size_t eepromSize) {
  boards.push_back(std::make_unique<sim::SimBoard>(config, std::vector<std::uint8_t>(eepromSize, 0xFF)));
  sim::BoardIdentity identity;
  identity.serial = UniqueSerial();
  serials.push_back(identity.serial);
  stack.AttachBoard(*boards.back(), identity);
  return *boards.back();
}

}  // namespace tessora::testing

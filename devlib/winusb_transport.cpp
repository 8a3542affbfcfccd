#include "devlib/winusb_transport.h"

#include "devlib/bus_command.h"
#include "devlib/qorv_device_library.h"

namespace tessora {

namespace {

constexpr std::uint32_t kLargestTransfer = 0xFFFF;  // wLength is 16 bits

// Lock, device and WinUSB interface, taken in that order and given back in reverse.
class WinUsbSession {
 public:
  explicit WinUsbSession(QorvDevice& device)
      : lock_(device, device.Library().LockTimeout()),
        device_(lock_.Held() ? device.OpenDevice() : DeviceHandle(device.Library().Stack(), kInvalidHandle)),
        interface_(device.Library().Stack(), device_) {}

  bool Locked() const { return lock_.Held(); }
  bool Ready() const { return interface_.IsInitialised(); }
  WinUsbInterface& Interface() { return interface_; }

 private:
  DeviceLock lock_;
  DeviceHandle device_;
  WinUsbInterface interface_;
};

}  // namespace

std::uint32_t WinUsbTransport::MemoryTransfer(const UsbSetupPacket& setup, std::uint8_t* buffer) {
  WinUsbSession session(device_);
  if (!session.Ready()) return 0;
  std::uint32_t transferred = 0;
  return session.Interface().Transfer(setup, buffer, transferred) ? transferred : 0;
}

std::uint32_t WinUsbTransport::MemoryWrite(std::uint16_t address, std::uint32_t count, const std::uint8_t* data) {
  if (count > kLargestTransfer || (count > 0 && data == nullptr)) return 0;
  std::vector<std::uint8_t> outgoing(data, data + count);
  return MemoryTransfer(
      UsbSetupPacket{kVendorOut, kRequestMemoryWrite, 0, address, static_cast<std::uint16_t>(count)},
      outgoing.data());
}

std::uint32_t WinUsbTransport::MemoryRead(std::uint16_t address, std::uint32_t count, std::uint8_t* out) {
  if (count > kLargestTransfer || (count > 0 && out == nullptr)) return 0;
  return MemoryTransfer(UsbSetupPacket{kVendorIn, kRequestMemoryRead, 0, address, static_cast<std::uint16_t>(count)},
                        out);
}

std::uint32_t WinUsbTransport::BusTransaction(std::vector<std::uint8_t> packet, bool read, std::uint8_t* readInto,
                                              std::uint16_t readCount) {
  WinUsbSession session(device_);
  if (!session.Locked()) return kBusLockTimeout;
  if (!session.Ready()) return kBusNotOpened;
  // A packet longer than wLength can say would go out cut short.
  if (packet.size() > kLargestTransfer) return kBusCommandRefused;

  WinUsbInterface& usb = session.Interface();
  std::uint32_t transferred = 0;
  UsbSetupPacket command{kVendorOut, kRequestBusCommand, 0, 0, static_cast<std::uint16_t>(packet.size())};
  if (!usb.Transfer(command, packet.data(), transferred) || transferred == 0) return kBusCommandRefused;

  BusResult result = PollBusStatus(device_.Library().Os(), [&](std::uint8_t& status) {
    std::uint32_t got = 0;
    return usb.Transfer(UsbSetupPacket{kVendorIn, kRequestBusResult, 1, 0, 1}, &status, got) && got == 1;
  });
  if (result != kBusOk || !read) return result;

  // Fewer bytes than asked is a failed read here too, as on the FilterDriver: the
  // caller would otherwise take stale buffer contents for EEPROM data.
  UsbSetupPacket fetch{kVendorIn, kRequestBusResult, 0, 0, readCount};
  bool fetched = usb.Transfer(fetch, readInto, transferred);
  return fetched && transferred == readCount ? kBusOk : kBusDataIncomplete;
}

}  // namespace tessora

#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/sim_board.h"

namespace tessora::testing {

// One USB device plugged into the emulated system: its identity, its HID interface (when
// it has a report descriptor) and whether its Microsoft OS 2.0 descriptors declare the
// WinUSB interface. With a board, the board's model answers every request; without one
// the device answers identity queries only, as a keyboard would.
struct EmulatedDevice {
  std::uint16_t vendorId = 0x3E9A;
  std::uint16_t productId = 0x0210;
  std::string product = "Qorvane USB Controller";  // empty: the device has no such string
  std::string serial = "QV000001";
  std::vector<std::uint8_t> reportDescriptor;
  bool msOs20 = true;
  sim::SimBoard* board = nullptr;
};

// Feature, input and output report 0xFF of 128 bytes with the ID, as the controller has.
std::vector<std::uint8_t> ControllerReportDescriptor();
// A keyboard: no report IDs, 8-byte input and 1-byte output reports.
std::vector<std::uint8_t> KeyboardReportDescriptor();

// sysfs, udev and the device nodes of a machine with these devices plugged in, emulated by
// umockdev for this process and the programs it starts (LD_PRELOAD must hold umockdev's
// preload library). Device n gets USB address n + 2 on bus 1; the HID devices get hidraw
// nodes in the order given. One per process at a time.
class EmulatedUsb {
 public:
  explicit EmulatedUsb(const std::vector<EmulatedDevice>& devices);
  ~EmulatedUsb();
  EmulatedUsb(const EmulatedUsb&) = delete;
  EmulatedUsb& operator=(const EmulatedUsb&) = delete;

  static std::string HidrawPath(int number) { return "/dev/hidraw" + std::to_string(number); }
  static std::string UsbPath(std::size_t device);
  // Queues an input report on a HID device's node, as if the device had sent it.
  void SendInputReport(std::size_t device, const std::vector<std::uint8_t>& report);

  struct Node;

 private:
  struct Testbed;
  std::unique_ptr<Testbed> testbed_;
};

}  // namespace tessora::testing

#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/native_os_services.h"
#include "sim/board/sim_board.h"

namespace tessora::test {

// Feature, input and output report 0xFF of 128 bytes with the ID, as the controller has.
std::vector<std::uint8_t> ControllerReportDescriptor();
// A keyboard: no report IDs, 8-byte input and 1-byte output reports.
std::vector<std::uint8_t> KeyboardReportDescriptor();

// One USB device with a HID interface, plugged into the emulated system; an empty string is
// one the device lacks. With a board it is a controller (with a vendor interface too) whose
// board answers every request; without one it answers identity queries only, as a keyboard.
struct EmulatedDevice {
  std::uint16_t vendorId = 0x3E9A;
  std::uint16_t productId = 0x0210;
  std::string product = "Qorvane USB Controller";
  std::string serial = "QV000001";
  std::vector<std::uint8_t> reportDescriptor = ControllerReportDescriptor();
  bool msOs20 = true;  // the Microsoft OS 2.0 descriptors declare an interface class for the vendor interface
  sim::SimBoard* board = nullptr;
  // Without a board: the bytes it answers a feature report request with, whatever its ID,
  // as hidraw lets a device do (0: it refuses the request).
  std::uint32_t featureAnswerBytes = 0;
  std::string interfaceGuid = "{42CA71EC-CE1C-44C2-82DE-87D8D8FF6C1E}";  // the class declared: WinUSB's
  // The HID core's name for it (HID_NAME); empty: the product string, or its IDs without one.
  std::string hidName{};
  bool usbNode = true;  // false: the USB device has no usbdevfs node, and nothing opens it
  bool plugged = true;  // false: not plugged in until Plug
};

// sysfs, udev and the nodes of a machine with these devices, emulated by umockdev for this
// process and the programs it starts (under umockdev's preload library); one per process.
// Device n is /dev/bus/usb/001/00(n + 2) and /dev/hidraw(n).
class EmulatedUsb {
 public:
  explicit EmulatedUsb(const std::vector<EmulatedDevice>& devices);
  ~EmulatedUsb();

  static std::string HidrawPath(std::size_t device) { return "/dev/hidraw" + std::to_string(device); }
  static std::string UsbPath(std::size_t device) { return "/dev/bus/usb/001/00" + std::to_string(device + 2); }
  // Queues an input report on a HID device's node, as if the device had sent it.
  void SendInputReport(std::size_t device, const std::vector<std::uint8_t>& report);
  // The feature report requests (get and set) that reached the device's node.
  int FeatureRequests(std::size_t device) const;
  // Plugs the device in, or unplugs it, with udev's events to every monitor. umockdev sends
  // an event only for a device it still has, so a removal is announced before the device
  // goes: a listing made between the two still finds it. A device unplugged stays so (its
  // node names are not made twice): a board plugged in again is another device, at other
  // nodes and another port, as Linux gives a device plugged in again a new address.
  void Plug(std::size_t device);
  void Unplug(std::size_t device);
  // An event with this action ("change") for a device that stays.
  void Announce(std::size_t device, const char* action);
  // The folder of the emulated sysfs and nodes, which the programs started find through
  // UMOCKDEV_DIR.
  std::string Directory() const;

 private:
  struct Testbed;
  std::unique_ptr<Testbed> testbed_;
};

// A keyboard, a controller, and one without strings or the Microsoft OS 2.0 capability.
class LinuxStackTest : public ::testing::Test {
 protected:
  sim::SimBoard boardA{{}, std::vector<std::uint8_t>(16384, 0xFF)};
  sim::SimBoard boardB{{}, std::vector<std::uint8_t>(16384, 0xFF)};
  EmulatedUsb usb{{{0x046D, 0xC31C, "Tastatur \xC3\x84", "", KeyboardReportDescriptor(), false, nullptr},
                   {.board = &boardA},
                   {.product = "", .serial = "", .msOs20 = false, .board = &boardB}}};
  std::unique_ptr<OsServices> os = CreateNativeOsServices();
};

}  // namespace tessora::test

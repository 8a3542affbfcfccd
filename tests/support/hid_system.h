#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hid/hid_context.h"
#include "platform/sim/sim_board.h"
#include "platform/sim/sim_device_stack.h"
#include "platform/virtual_clock.h"

namespace tessora::testing {

struct ShownMessage {
  bool ownedByMainWindow;
  std::string text;
  std::string caption;
  std::uint32_t style;
};

class RecordingMessages : public HidMessageSink {
 public:
  void ShowMessage(bool ownedByMainWindow, const char* text, const char* caption, std::uint32_t style) override {
    shown.push_back({ownedByMainWindow, text, caption, style});
  }
  std::vector<ShownMessage> shown;
};

constexpr std::uint16_t kControllerVendorId = 0x3E9A;
constexpr std::uint16_t kControllerProductId = 0x0210;

// A simulated system of HID devices on a virtual clock, with the HID context over it.
class HidSystem {
 public:
  HidSystem();

  // A HID device that is not the controller, with input reports only; returns its
  // interface index.
  std::size_t AddDevice(std::uint16_t vendorId, std::uint16_t productId, std::u16string product);
  // A keyboard: listed like any HID device, but it refuses a read/write open.
  std::size_t AddKeyboard();
  // The controller's HID face; returns the interface index.
  std::size_t AddController(sim::SimBoard& board, const std::string& serial = "QV000001");

  sim::SimInterface& Interface(std::size_t index) { return stack.Interface(index); }

  std::unique_ptr<OsServices> native;
  VirtualClock clock;
  sim::SimDeviceStack stack;
  RecordingMessages messages;
  HidContext context;
};

// A board with an EEPROM of 16384 bytes of 0xFF.
std::unique_ptr<sim::SimBoard> MakeBoard(sim::BoardConfig config = {});

}  // namespace tessora::testing

#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

#include "hid/hid_message_sink.h"
#include "platform/device_stack.h"
#include "platform/os_services.h"

namespace tessora {

constexpr std::size_t kHidPathSize = 1024;
constexpr std::size_t kHidProductTextSize = 128;
constexpr std::size_t kHidDeviceTableSize = 64;
constexpr std::size_t kHidCandidateListSize = 128;

// One HID interface as EnumerateHidDevices found it; the device object opens it by path.
struct HidDeviceEntry {
  char path[kHidPathSize];
  std::uint16_t vendorId;
  std::uint16_t productId;
  char productText[kHidProductTextSize];
};

// Every HID interface present, in enumeration order, ended by an entry with vendor ID 0.
struct HidCandidates {
  std::uint16_t vendorIds[kHidCandidateListSize];
  std::uint16_t productIds[kHidCandidateListSize];
  char productTexts[kHidCandidateListSize][kHidProductTextSize];
};

// The process-wide state of the HID subsystem and the services it reaches the world
// through. Used from the owner's thread only.
class HidContext {
 public:
  HidContext(DeviceStack& stackIn, OsServices& osIn, HidMessageSink& messagesIn)
      : stack(stackIn), os(osIn), messages(messagesIn) {}
  HidContext(const HidContext&) = delete;
  HidContext& operator=(const HidContext&) = delete;

  DeviceStack& stack;
  OsServices& os;
  HidMessageSink& messages;

  std::array<HidDeviceEntry, kHidDeviceTableSize> HidDeviceTable{};
  std::uint32_t HidDeviceCount = 0;
  std::uint32_t HidDeviceCursor = 0;  // next entry OpenNextMatch examines
  HidCandidates HidCandidateList{};
};

}  // namespace tessora

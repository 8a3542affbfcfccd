#pragma once
#include <bitset>
#include <cstdint>
#include <span>

namespace tessora::linuxstack {

// What HidP_GetCaps tells on Windows, worked out from a HID report descriptor: the
// longest report of each kind in bytes, the report ID byte included (0 when the device
// has no report of that kind), and the top-level collection's usage.
struct HidReportLayout {
  bool valid = false;  // false: truncated or malformed; the lengths are then unusable
  bool usesReportIds = false;
  std::uint16_t usagePage = 0;
  std::uint16_t usage = 0;
  std::uint16_t inputLength = 0;
  std::uint16_t outputLength = 0;
  std::uint16_t featureLength = 0;
  std::bitset<256> featureReportIds;  // ID 0 stands for "no report IDs"
};

// Reads the main and global items that decide report size, count and ID; every other
// item is skipped. Never reads past the end of the bytes.
HidReportLayout ParseHidReportDescriptor(std::span<const std::uint8_t> descriptor);

}  // namespace tessora::linuxstack

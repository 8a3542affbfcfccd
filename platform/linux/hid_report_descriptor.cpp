#include "platform/linux/hid_report_descriptor.h"

#include <array>

namespace tessora::linuxstack {

namespace {

enum ReportKind { kInput, kOutput, kFeature, kReportKinds };

constexpr std::uint8_t kLongItemPrefix = 0xFE;
constexpr std::size_t kGlobalStackDepth = 16;
constexpr std::uint64_t kLargestReportBits = (0xFFFFull - 1) * 8;

// The global items a report's layout depends on; Push and Pop save and restore them.
struct Globals {
  std::uint32_t reportSize = 0;
  std::uint32_t reportCount = 0;
  std::uint8_t reportId = 0;
  std::uint16_t usagePage = 0;
};

struct ParseState {
  Globals globals;
  std::array<Globals, kGlobalStackDepth> stack{};
  std::size_t depth = 0;
  int collectionDepth = 0;
  bool topUsageSeen = false;
  std::array<std::array<std::uint64_t, 256>, kReportKinds> bits{};
};

std::uint32_t ItemValue(const std::uint8_t* data, std::size_t size) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < size; ++i) value |= static_cast<std::uint32_t>(data[i]) << (8 * i);
  return value;
}

bool TakeMainItem(ParseState& state, std::uint8_t tag, HidReportLayout& layout) {
  int kind = tag == 0x8 ? kInput : tag == 0x9 ? kOutput : tag == 0xB ? kFeature : kReportKinds;
  if (kind != kReportKinds) {
    std::uint64_t& bits = state.bits[kind][state.globals.reportId];
    bits += static_cast<std::uint64_t>(state.globals.reportSize) * state.globals.reportCount;
    if (bits > kLargestReportBits) return false;
    if (kind == kFeature) layout.featureReportIds.set(state.globals.reportId);
  } else if (tag == 0xA) {
    ++state.collectionDepth;
  } else if (tag == 0xC) {
    if (--state.collectionDepth < 0) return false;
  }
  return true;
}

bool TakeGlobalItem(ParseState& state, std::uint8_t tag, std::uint32_t value, HidReportLayout& layout) {
  Globals& globals = state.globals;
  switch (tag) {
    case 0x0: globals.usagePage = static_cast<std::uint16_t>(value); return true;
    case 0x7: globals.reportSize = value; return true;
    case 0x9: globals.reportCount = value; return true;
    case 0x8:
      if (value == 0 || value > 0xFF) return false;  // ID 0 is reserved
      globals.reportId = static_cast<std::uint8_t>(value);
      layout.usesReportIds = true;
      return true;
    case 0xA:
      if (state.depth == kGlobalStackDepth) return false;
      state.stack[state.depth++] = globals;
      return true;
    case 0xB:
      if (state.depth == 0) return false;
      globals = state.stack[--state.depth];
      return true;
    default: return true;
  }
}

std::uint16_t LongestReport(const std::array<std::uint64_t, 256>& bits) {
  std::uint64_t longest = 0;
  for (std::uint64_t reportBits : bits) longest = reportBits > longest ? reportBits : longest;
  return longest == 0 ? 0 : static_cast<std::uint16_t>((longest + 7) / 8 + 1);
}

}  // namespace

HidReportLayout ParseHidReportDescriptor(std::span<const std::uint8_t> descriptor) {
  HidReportLayout layout;
  ParseState state;
  std::size_t at = 0;
  while (at < descriptor.size()) {
    std::uint8_t prefix = descriptor[at];
    if (prefix == kLongItemPrefix) {
      if (descriptor.size() - at < 3) return layout;
      at += 3 + descriptor[at + 1];
      continue;
    }
    std::size_t size = (prefix & 3) == 3 ? 4 : (prefix & 3);
    if (descriptor.size() - at - 1 < size) return layout;
    std::uint32_t value = ItemValue(&descriptor[at + 1], size);
    std::uint8_t type = (prefix >> 2) & 3;
    std::uint8_t tag = prefix >> 4;
    bool ok = true;
    if (type == 0) ok = TakeMainItem(state, tag, layout);
    else if (type == 1) ok = TakeGlobalItem(state, tag, value, layout);
    else if (type == 2 && tag == 0x0 && !state.topUsageSeen && state.collectionDepth == 0) {
      // A 4-byte usage carries its own page in the high half.
      layout.usagePage = size == 4 ? static_cast<std::uint16_t>(value >> 16) : state.globals.usagePage;
      layout.usage = static_cast<std::uint16_t>(value);
      state.topUsageSeen = true;
    }
    if (!ok) return layout;
    at += 1 + size;
  }
  if (at != descriptor.size() || state.collectionDepth != 0) return layout;
  layout.inputLength = LongestReport(state.bits[kInput]);
  layout.outputLength = LongestReport(state.bits[kOutput]);
  layout.featureLength = LongestReport(state.bits[kFeature]);
  layout.valid = true;
  return layout;
}

}  // namespace tessora::linuxstack

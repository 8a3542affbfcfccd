// Report lengths as HidP_GetCaps gives them, from the report descriptor alone.
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/linux/hid_report_descriptor.h"
#include "tests/linux/emulated_usb.h"

namespace tessora::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Input, output and feature lengths, report IDs in use, feature report 0xFF: or "invalid".
std::string Summary(const linuxstack::HidReportLayout& layout) {
  char text[64];
  std::snprintf(text, sizeof text, "%u %u %u%s%s", layout.inputLength, layout.outputLength, layout.featureLength,
                layout.usesReportIds ? " ids" : "", layout.featureReportIds.test(0xFF) ? " 0xFF" : "");
  return layout.valid ? text : "invalid";
}

// A vendor application collection around these items.
Bytes InCollection(Bytes items, bool closed = true) {
  items.insert(items.begin(), {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01});
  if (closed) items.push_back(0xC0);
  return items;
}

TEST(HidReportDescriptor, GivesTheLengthsHidPGetCapsWouldGive) {
  const struct {
    const char* name;
    Bytes descriptor;
    const char* summary;
  } cases[] = {
      {"controller", ControllerReportDescriptor(), "128 128 128 ids 0xFF"},
      {"keyboard without report IDs", KeyboardReportDescriptor(), "9 2 0"},
      // Feature 1 of 8 bytes and feature 2 of 64: the longer counts.
      {"two feature reports",
       InCollection({0x85, 0x01, 0x75, 0x08, 0x95, 0x08, 0xB1, 0x02, 0x85, 0x02, 0x95, 0x40, 0xB1, 0x02}), "0 0 65 ids"},
      // Push keeps size 8, pop brings it back after a 1-bit detour: 2 + 8 bits, 2 bytes.
      {"push and pop", InCollection({0x75, 0x08, 0x95, 0x01, 0xA4, 0x75, 0x01, 0x95, 0x02, 0x81, 0x02, 0xB4, 0x81, 0x02}),
       "3 0 0"},
      {"long item skipped", InCollection({0xFE, 0x02, 0x10, 0xAA, 0xBB, 0x75, 0x08, 0x95, 0x04, 0x91, 0x02}), "0 5 0"},
      {"item runs past the end", InCollection({0x75, 0x08, 0x96, 0x7F}, false), "invalid"},
      {"report ID 0", InCollection({0x85, 0x00, 0x75, 0x08, 0x95, 0x01, 0xB1, 0x02}), "invalid"},
      {"unbalanced collection", InCollection({0xC0}), "invalid"},
      {"report beyond 64 KiB", InCollection({0x77, 0xFF, 0xFF, 0xFF, 0x00, 0x97, 0xFF, 0xFF, 0x00, 0x00, 0x81, 0x02}),
       "invalid"},
      {"pop without push", InCollection({0xB4}), "invalid"},
  };
  for (const auto& c : cases) EXPECT_EQ(Summary(linuxstack::ParseHidReportDescriptor(c.descriptor)), c.summary) << c.name;
}

}  // namespace
}  // namespace tessora::testing

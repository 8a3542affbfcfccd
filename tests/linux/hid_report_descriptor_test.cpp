// Report lengths as HidP_GetCaps gives them, from the report descriptor alone.
#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "platform/linux/hid_report_descriptor.h"
#include "tests/linux/emulated_usb.h"

namespace tessora::testing {
namespace {

using linuxstack::HidReportLayout;
using linuxstack::ParseHidReportDescriptor;
using Bytes = std::vector<std::uint8_t>;

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

TEST(HidReportDescriptor, GivesTheLengthsHidPGetCapsWouldGive) {
  const Bytes collection = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01};
  const Bytes end = {0xC0};
  struct Case {
    const char* name;
    Bytes descriptor;
    bool valid;
    std::uint16_t input, output, feature;
    bool usesIds, feature255;
  } cases[] = {
      {"controller", ControllerReportDescriptor(), true, 128, 128, 128, true, true},
      {"keyboard without report IDs", KeyboardReportDescriptor(), true, 9, 2, 0, false, false},
      // Feature 1 of 8 bytes and feature 2 of 64: the longer counts.
      {"two feature reports",
       Join({collection, {0x85, 0x01, 0x75, 0x08, 0x95, 0x08, 0xB1, 0x02, 0x85, 0x02, 0x95, 0x40, 0xB1, 0x02}, end}),
       true, 0, 0, 65, true, false},
      // Push keeps size 8, pop brings it back after a 1-bit detour: 2 + 8 bits, 2 bytes.
      {"push and pop",
       Join({collection, {0x75, 0x08, 0x95, 0x01, 0xA4, 0x75, 0x01, 0x95, 0x02, 0x81, 0x02, 0xB4, 0x81, 0x02}, end}),
       true, 3, 0, 0, false, false},
      {"long item skipped", Join({collection, {0xFE, 0x02, 0x10, 0xAA, 0xBB, 0x75, 0x08, 0x95, 0x04, 0x91, 0x02}, end}),
       true, 0, 5, 0, false, false},
      {"item runs past the end", Join({collection, {0x75, 0x08, 0x96, 0x7F}}), false, 0, 0, 0, false, false},
      {"report ID 0", Join({collection, {0x85, 0x00, 0x75, 0x08, 0x95, 0x01, 0xB1, 0x02}, end}), false, 0, 0, 0, true,
       false},
      {"unbalanced collection", Join({collection, end, end}), false, 0, 0, 0, false, false},
      {"report beyond 64 KiB", Join({collection, {0x77, 0xFF, 0xFF, 0xFF, 0x00, 0x97, 0xFF, 0xFF, 0x00, 0x00, 0x81, 0x02}, end}),
       false, 0, 0, 0, false, false},
      {"pop without push", Join({collection, {0xB4}, end}), false, 0, 0, 0, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HidReportLayout layout = ParseHidReportDescriptor(c.descriptor);
    EXPECT_EQ(layout.valid, c.valid);
    if (!c.valid) continue;
    EXPECT_EQ(layout.inputLength, c.input);
    EXPECT_EQ(layout.outputLength, c.output);
    EXPECT_EQ(layout.featureLength, c.feature);
    EXPECT_EQ(layout.usesReportIds, c.usesIds);
    EXPECT_EQ(layout.featureReportIds.test(0xFF), c.feature255);
  }
}

}  // namespace
}  // namespace tessora::testing

// The pure parts of the Linux device stack: report descriptors, Microsoft OS 2.0
// descriptors and instance IDs.
#include <gtest/gtest.h>

#include <vector>

#include "platform/linux/hid_report_descriptor.h"
#include "platform/linux/ms_os_descriptor.h"
#include "platform/linux/udev_devices.h"
#include "tests/linux/emulated_usb.h"

namespace tessora::testing {
namespace {

using namespace linuxstack;
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

TEST(MsOs20Descriptors, MalformedDescriptorsNameNoInterface) {
  const Bytes capability = {28,   0x10, 0x05, 0,    0xDF, 0x60, 0xDD, 0xD8, 0x89, 0x45, 0xC7, 0x4C, 0x9C, 0xD2,
                            0x65, 0x9D, 0x9E, 0x64, 0x8A, 0x9F, 0,    0,    3,    6,    0xB2, 0x00, 0x21, 0};
  std::optional<MsOs20Location> found = FindMsOs20Capability(Join({{5, 0x0F, 33, 0, 1}, capability}));
  ASSERT_TRUE(found);
  EXPECT_EQ(found->vendorCode, 0x21);
  EXPECT_EQ(found->totalLength, 0xB2);
  for (const Bytes& bos : {Join({{5, 0x0F, 33, 0, 1}, Bytes(capability.begin(), capability.end() - 1)}),
                           Bytes{5, 0x0F, 8, 0, 1, 0, 0x10, 0x05}, Bytes{5, 0x0F, 5}})
    EXPECT_FALSE(FindMsOs20Capability(bos));

  // A registry property whose lengths claim more than the set holds, and a zero length.
  const char* guid = "{42CA71EC-CE1C-44C2-82DE-87D8D8FF6C1E}";
  EXPECT_FALSE(FindInterfaceDeclaringGuid(Bytes{10, 0, 0, 0, 0, 0, 3, 6, 30, 0, 20, 0, 4, 0, 7, 0, 200, 0}, guid));
  EXPECT_FALSE(FindInterfaceDeclaringGuid(Bytes{0, 0, 0, 0, 0, 0}, guid));
}

TEST(UsbInstanceId, TakesTheSerialOnlyWhenWindowsWouldAndThePortPathOtherwise) {
  EXPECT_EQ(UsbInstanceId(0x3E9A, 0x210, "qv01", "1-4"), "USB\\VID_3E9A&PID_0210\\QV01");
  EXPECT_EQ(UsbInstanceId(0x3E9A, 0x210, "", "1-4.2"), "USB\\VID_3E9A&PID_0210\\1-4.2");
  EXPECT_EQ(UsbInstanceId(0x3E9A, 0x210, "A,B", "1-4"), "USB\\VID_3E9A&PID_0210\\1-4");
  EXPECT_EQ(UsbInstanceId(0x3E9A, 0x210, "A B", "1-4"), "USB\\VID_3E9A&PID_0210\\1-4");
}

}  // namespace
}  // namespace tessora::testing

#include "hid/hid_enumeration.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/hid_system.h"

namespace tessora {
namespace {

using testing::HidSystem;

TEST(HidEnumeration, EmptySystemGivesAnEmptyTableAndAnEndedList) {
  HidSystem system;
  std::strcpy(system.context.HidDeviceTable[0].productText, "stale");
  EXPECT_EQ(EnumerateHidDevices(system.context), 0u);
  EXPECT_STREQ(system.context.HidDeviceTable[0].productText, "");
  ASSERT_TRUE(ListHidDevices(system.context));
  EXPECT_EQ(system.context.HidCandidateList.vendorIds[0], 0);
  EXPECT_TRUE(system.messages.shown.empty());
}

// The table passes over what it cannot read about a device; the list names it in order.
TEST(HidEnumeration, TableAndListDescribeTheDevicesInEnumerationOrder) {
  HidSystem system;
  system.AddKeyboard();
  std::size_t silent = system.AddDevice(0x1111, 0x2222, u"Silent");
  std::size_t anonymous = system.AddDevice(0x3333, 0x4444, u"Anonymous");
  auto board = testing::MakeBoard();
  system.AddController(*board);

  ASSERT_TRUE(ListHidDevices(system.context));
  const HidCandidates& list = system.context.HidCandidateList;
  EXPECT_EQ(list.vendorIds[0], 0x046D);
  EXPECT_STREQ(list.productTexts[0], "USB Keyboard");
  EXPECT_STREQ(list.productTexts[1], "Silent");
  EXPECT_EQ(list.vendorIds[3], testing::kControllerVendorId);
  EXPECT_EQ(list.productIds[3], testing::kControllerProductId);
  EXPECT_STREQ(list.productTexts[3], "Qorvane USB Controller");
  EXPECT_EQ(list.vendorIds[4], 0);

  system.Interface(silent).productFails = true;
  system.Interface(anonymous).attributesFail = true;
  ASSERT_EQ(EnumerateHidDevices(system.context), 4u);
  const auto& table = system.context.HidDeviceTable;
  EXPECT_STREQ(table[0].productText, "USB Keyboard");
  EXPECT_STREQ(table[1].productText, "unknown");
  EXPECT_EQ(table[1].vendorId, 0x1111);
  EXPECT_EQ(table[2].vendorId, 0);
  EXPECT_EQ(table[2].productId, 0);
  EXPECT_STREQ(table[2].productText, "Anonymous");
  EXPECT_EQ(std::string(table[3].path), system.Interface(3).path);
}

TEST(HidEnumeration, TheListGivesUpAtTheFirstUnreadableDeviceWithItsMessage) {
  struct Fault {
    void (*apply)(sim::SimInterface&);
    const char* message;
  };
  const Fault faults[] = {
      {[](sim::SimInterface& d) { d.productFails = true; }, "Error: HidD_GetProductString failed!"},
      {[](sim::SimInterface& d) { d.attributesFail = true; }, "Error: HidD_GetAttributes failed!"},
      {[](sim::SimInterface& d) { d.descriptorFails = true; }, "Error: HidD_GetPreparsedData failed!"},
  };
  for (const Fault& fault : faults) {
    HidSystem system;
    system.AddKeyboard();
    fault.apply(system.Interface(system.AddDevice(0x1111, 0x2222, u"Broken")));
    system.AddKeyboard();
    EXPECT_FALSE(ListHidDevices(system.context));
    ASSERT_EQ(system.messages.shown.size(), 1u) << fault.message;
    EXPECT_EQ(system.messages.shown[0].text, fault.message);
    EXPECT_EQ(system.messages.shown[0].caption, "Error!");
    EXPECT_EQ(system.messages.shown[0].style, 16u);
    EXPECT_TRUE(system.messages.shown[0].ownedByMainWindow);
    EXPECT_EQ(system.stack.OpenHandleCount(), 0u);
  }
}

TEST(HidEnumeration, TheTableHoldsTheFirst64AndTheListEndsWithin128Entries) {
  HidSystem system;
  for (int i = 0; i < 200; ++i) system.AddDevice(0x1000, static_cast<std::uint16_t>(i + 1), u"Gadget");

  EXPECT_EQ(EnumerateHidDevices(system.context), 64u);
  EXPECT_EQ(system.context.HidDeviceTable[63].productId, 64);

  ASSERT_TRUE(ListHidDevices(system.context));
  const HidCandidates& list = system.context.HidCandidateList;
  EXPECT_EQ(list.productIds[126], 127);
  EXPECT_EQ(list.vendorIds[127], 0);
  EXPECT_EQ(list.productIds[127], 0);
  EXPECT_EQ(list.productTexts[127][0], '\0');
  EXPECT_EQ(system.stack.OpenHandleCount(), 0u);
}

// Both passes convert as the C runtime does in the "C" locale, each within its own buffer.
TEST(HidEnumeration, ProductStringsConvertWithinTheirBuffers) {
  HidSystem system;
  system.AddDevice(0x1111, 0x0001, u"Caf\u00e9 \u0141\u00f3d\u017a");
  std::u16string longName(70, u'x');
  system.AddDevice(0x1111, 0x0002, longName);
  system.AddDevice(0x1111, 0x0003, std::u16string(200, u'y'));

  ASSERT_TRUE(ListHidDevices(system.context));
  ASSERT_EQ(EnumerateHidDevices(system.context), 3u);
  const HidCandidates& list = system.context.HidCandidateList;
  const auto& table = system.context.HidDeviceTable;
  EXPECT_STREQ(list.productTexts[0], "");
  EXPECT_STREQ(table[0].productText, "");
  EXPECT_EQ(std::string(list.productTexts[1]), std::string(70, 'x'));
  EXPECT_EQ(std::string(table[1].productText), std::string(64, 'x'));
  // 128 units leave no room for the terminator in the candidate text.
  EXPECT_STREQ(list.productTexts[2], "");
  EXPECT_EQ(std::string(table[2].productText), std::string(64, 'y'));
}

}  // namespace
}  // namespace tessora

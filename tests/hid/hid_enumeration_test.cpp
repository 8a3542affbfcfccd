#include "hid/hid_enumeration.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <new>
#include <string>

#include "tests/support/hid_system.h"

// While set, allocations that may fail (new (std::nothrow) T[n]) fail, as when memory
// runs out.
static std::atomic<bool> refuseNothrowArrays{false};

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  if (refuseNothrowArrays.load()) return nullptr;
  try {
    return ::operator new[](size);
  } catch (...) {
    return nullptr;
  }
}

namespace tessora {
namespace {

using testing::HidSystem;

// The table passes over what it cannot read about a device; the list names it in order
// and ends with an empty entry.
TEST(HidEnumeration, TableAndListDescribeTheDevicesInEnumerationOrder) {
  HidSystem system;
  std::strcpy(system.context.HidDeviceTable[0].productText, "stale");
  EXPECT_EQ(EnumerateHidDevices(system.context), 0u);
  EXPECT_STREQ(system.context.HidDeviceTable[0].productText, "");

  system.AddKeyboard();
  std::size_t silent = system.AddDevice(0x1111, 0x2222, u"Silent");
  std::size_t anonymous = system.AddDevice(0x3333, 0x4444, u"Anonymous");
  auto board = testing::MakeBoard();
  system.AddController(*board);
  ASSERT_TRUE(ListHidDevices(system.context));
  const HidCandidates& list = system.context.HidCandidateList;
  EXPECT_STREQ(list.productTexts[1], "Silent");
  EXPECT_EQ(list.productIds[3], testing::kControllerProductId);
  EXPECT_STREQ(list.productTexts[3], "Qorvane USB Controller");
  EXPECT_EQ(list.vendorIds[4], 0);

  system.Interface(silent).productFails = true;
  system.Interface(anonymous).attributesFail = true;
  ASSERT_EQ(EnumerateHidDevices(system.context), 4u);
  const auto& table = system.context.HidDeviceTable;
  EXPECT_STREQ(table[1].productText, "unknown");
  EXPECT_EQ(table[1].vendorId, 0x1111);
  EXPECT_EQ(table[2].vendorId, 0);
  EXPECT_STREQ(table[2].productText, "Anonymous");
  EXPECT_EQ(std::string(table[3].path), system.Interface(3).path);
  EXPECT_TRUE(system.messages.shown.empty());
}

// Each fault ends the list at its device with its message (caption "Error!", error
// icon); a device that cannot be opened also has no product string. Only the messages
// of the opening itself are shown without the main window as owner.
TEST(HidEnumeration, TheListGivesUpAtTheFirstUnreadableDeviceWithItsMessage) {
  struct Fault {
    void (*apply)(sim::SimInterface&);
    std::vector<std::string> messages;
    bool outOfMemory = false;
  };
  const std::string noProduct = "Error: HidD_GetProductString failed!";
  const Fault faults[] = {
      {[](sim::SimInterface& d) { d.productFails = true; }, {noProduct}},
      {[](sim::SimInterface& d) { d.attributesFail = true; }, {"Error: HidD_GetAttributes failed!"}},
      {[](sim::SimInterface& d) { d.descriptorFails = true; }, {"Error: HidD_GetPreparsedData failed!"}},
      {[](sim::SimInterface& d) { d.capsFail = true; }, {"Error: HidP_GetCaps failed!"}},
      {[](sim::SimInterface& d) { d.refusesOpen = true; }, {"Error: CreateFile failed!", noProduct}},
      {[](sim::SimInterface& d) { d.pathFails = true; }, {"Error: SetupDiGetInterfaceDeviceDetail failed!", noProduct}},
      {[](sim::SimInterface&) {}, {"Error: OpenDeviceInterface: malloc failed!", noProduct}, true},
  };
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.messages.front());
    HidSystem system;
    system.AddKeyboard();
    fault.apply(system.Interface(system.AddDevice(0x1111, 0x2222, u"Broken")));
    system.AddKeyboard();
    refuseNothrowArrays = fault.outOfMemory;
    bool listed = ListHidDevices(system.context);
    refuseNothrowArrays = false;
    EXPECT_FALSE(listed);
    ASSERT_EQ(system.messages.shown.size(), fault.messages.size());
    for (std::size_t i = 0; i < fault.messages.size(); ++i) {
      const testing::ShownMessage& shown = system.messages.shown[i];
      EXPECT_EQ(shown.text, fault.messages[i]);
      EXPECT_EQ(shown.caption, "Error!");
      EXPECT_EQ(shown.style, 16u);
      EXPECT_EQ(shown.ownedByMainWindow, shown.text == noProduct || fault.messages.size() == 1);
    }
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
  EXPECT_EQ(list.productTexts[127][0], '\0');
}

// Both passes convert as the C runtime does in the "C" locale, each within its own buffer.
TEST(HidEnumeration, ProductStringsConvertWithinTheirBuffers) {
  HidSystem system;
  system.AddDevice(0x1111, 0x0001, u"Caf\u00e9 \u0141\u00f3d\u017a");
  system.AddDevice(0x1111, 0x0002, std::u16string(70, u'x'));
  system.AddDevice(0x1111, 0x0003, std::u16string(200, u'y'));
  ASSERT_TRUE(ListHidDevices(system.context));
  ASSERT_EQ(EnumerateHidDevices(system.context), 3u);
  const HidCandidates& list = system.context.HidCandidateList;
  const auto& table = system.context.HidDeviceTable;
  EXPECT_STREQ(list.productTexts[0], "");
  EXPECT_STREQ(table[0].productText, "");
  EXPECT_EQ(std::string(list.productTexts[1]), std::string(70, 'x'));
  EXPECT_EQ(std::string(table[1].productText), std::string(64, 'x'));
  EXPECT_STREQ(list.productTexts[2], "");  // 128 units leave no room for the terminator
  EXPECT_EQ(std::string(table[2].productText), std::string(64, 'y'));
}

}  // namespace
}  // namespace tessora

#include "hid/hid_device.h"
#include "hid/hid_enumeration.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <new>
#include <string>

#include "tests/support/device_rig.h"

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

using test::DeviceRig;
constexpr std::uint16_t kControllerVendorId = 0x3E9A;
constexpr std::uint16_t kControllerProductId = 0x0210;
constexpr const char* kControllerText = "Qorvane USB Controller";

class CountingHooks : public hidDeviceClass {
 public:
  using hidDeviceClass::hidDeviceClass;
  ~CountingHooks() override { Close(); }
  void OpenHook1() override { ++hooks; }
  void OpenHook2() override { ++hooks; }
  void OpenHook3() override { ++hooks; }
  int hooks = 0;
};

// Matches are exact and case-sensitive; identical devices open one after the other; an
// entry that cannot be opened is passed over, and a scan that opens nothing leaves the
// devices after it reachable.
TEST(HidDevice, TheWalkOpensEachMatchingDeviceInTurn) {
  DeviceRig system;
  system.AddKeyboard();
  std::size_t refusing = system.AddHidDevice(0x1111, 0x2222, u"Twin");
  system.stack.Interface(refusing).refusesReadWrite = true;
  system.AddHidDevice(0x1111, 0x2222, u"twin");
  std::size_t first = system.AddHidDevice(0x1111, 0x2222, u"Twin");
  std::size_t second = system.AddHidDevice(0x1111, 0x2222, u"Twin");
  std::size_t unnamed = system.AddHidDevice(0x1111, 0x3333, u"");
  system.stack.Interface(unnamed).productFails = true;
  hidDeviceClass device(system.hid);

  EXPECT_FALSE(device.OpenFirstMatch(0x046D, 0xC31C, "USB Keyboard"));
  EXPECT_FALSE(device.OpenNextMatch(0x9999, 0x9999, "Absent"));
  ASSERT_TRUE(device.OpenNextMatch(0x1111, 0x2222, "Twin"));
  EXPECT_EQ(device.DevicePath(), system.stack.Interface(first).path);
  ASSERT_TRUE(device.OpenNextMatch(0x1111, 0x2222, "Twin"));
  EXPECT_EQ(device.DevicePath(), system.stack.Interface(second).path);
  EXPECT_FALSE(device.OpenNextMatch(0x1111, 0x2222, "Twin"));
  EXPECT_FALSE(device.IsOpen());
  EXPECT_TRUE(device.OpenFirstMatch(0x1111, 0x3333, nullptr));  // no product string: asked for as none
  EXPECT_EQ(device.DevicePath(), system.stack.Interface(unnamed).path);

  for (std::size_t i = 0; i < system.stack.InterfaceCount(); ++i) system.stack.Interface(i).present = false;
  EXPECT_FALSE(device.OpenFirstMatch(0x1111, 0x3333, nullptr));
  EXPECT_TRUE(device.IsOpen());  // an empty table leaves the object as it was
}

TEST(HidDevice, ADeviceWithoutDescriptorDataIsOpenWithoutReportsOrHooks) {
  DeviceRig system;
  std::size_t index = system.AddHidDevice(0x1111, 0x2222, u"\u0141odz \u0100rest");
  system.stack.Interface(index).serialNumber = std::u16string(40, u'7');
  CountingHooks device(system.hid);
  device.OpenPath(system.stack.Interface(index).path.c_str());
  EXPECT_EQ(device.hooks, 3);
  EXPECT_EQ(device.InputReportLength(), 8);
  // The low byte of each unit; a zero low byte ends the text.
  EXPECT_STREQ(device.ProductText(), "Aodz ");
  EXPECT_EQ(std::string(device.SerialText()), std::string(16, '7'));

  system.stack.Interface(index).descriptorFails = true;
  device.OpenPath(system.stack.Interface(index).path.c_str());
  ASSERT_TRUE(device.IsOpen());
  EXPECT_EQ(device.hooks, 3);
  EXPECT_EQ(device.InputReportLength(), 0);
  EXPECT_EQ(device.ReadInputReportOverlapped(1, 0), -1);
  device.Close();
  EXPECT_EQ(system.stack.OpenHandleCount(), 0u);

  system.stack.Interface(index).path = "\\\\?\\hid#" + std::string(1100, 'p');  // too long to keep
  device.OpenPath(system.stack.Interface(index).path.c_str());
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ(EnumerateHidDevices(system.hid), 0u);
}

// Removal closes the object once: everything is released, the texts outlive the reset,
// and closing a closed object waits for nothing.
TEST(HidDevice, ArrivalKeepsOnlyTheWantedDeviceAndRemovalClosesIt) {
  DeviceRig system;
  std::size_t controller = system.stack.InterfaceCount();  // the HID face comes first
  system.AddBoard();
  std::size_t other = system.AddHidDevice(0x1111, 0x2222, u"Other");
  hidDeviceClass device(system.hid);
  device.Close();
  DeviceInterfaceNotice otherNotice{sim::kHidInterfaceGuid, system.stack.Interface(other).path};
  DeviceInterfaceNotice controllerNotice{sim::kHidInterfaceGuid, system.stack.Interface(controller).path};

  EXPECT_FALSE(device.OnDeviceArrival(otherNotice, kControllerVendorId, kControllerProductId, kControllerText));
  EXPECT_FALSE(device.OnDeviceArrival(controllerNotice, kControllerVendorId, kControllerProductId, "qorvane"));
  EXPECT_FALSE(device.IsOpen());
  EXPECT_TRUE(device.OnDeviceArrival(controllerNotice, kControllerVendorId, kControllerProductId, kControllerText));
  EXPECT_EQ(device.FeatureReportLength(), 128);
  EXPECT_EQ(system.stack.OpenHandleCount(), 2u);

  EXPECT_FALSE(device.OnDeviceRemoval(otherNotice));
  EXPECT_TRUE(device.IsOpen());
  std::string shouted = system.stack.Interface(controller).path;
  for (char& c : shouted) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_TRUE(device.OnDeviceRemoval(DeviceInterfaceNotice{sim::kHidInterfaceGuid, shouted}));
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ(system.stack.OpenHandleCount(), 0u);
  EXPECT_EQ(device.VendorId(), 0xFFFF);
  EXPECT_EQ(device.InputReport(), nullptr);
  EXPECT_STREQ(device.ProductText(), kControllerText);
  device.Close();
  EXPECT_EQ(system.os.SleepCount(), 0u);
}

// The table passes over what it cannot read about a device; the list names it in order
// and ends with an empty entry.
TEST(HidEnumeration, TableAndListDescribeTheDevicesInEnumerationOrder) {
  DeviceRig system;
  std::strcpy(system.hid.HidDeviceTable[0].productText, "stale");
  EXPECT_EQ(EnumerateHidDevices(system.hid), 0u);
  EXPECT_STREQ(system.hid.HidDeviceTable[0].productText, "");

  system.AddKeyboard();
  std::size_t silent = system.AddHidDevice(0x1111, 0x2222, u"Silent");
  std::size_t anonymous = system.AddHidDevice(0x3333, 0x4444, u"Anonymous");
  system.AddBoard();
  ASSERT_TRUE(ListHidDevices(system.hid));
  const HidCandidates& list = system.hid.HidCandidateList;
  EXPECT_STREQ(list.productTexts[1], "Silent");
  EXPECT_EQ(list.productIds[3], 0x0210);
  EXPECT_STREQ(list.productTexts[3], "Qorvane USB Controller");
  EXPECT_EQ(list.vendorIds[4], 0);

  system.stack.Interface(silent).productFails = true;
  system.stack.Interface(anonymous).attributesFail = true;
  ASSERT_EQ(EnumerateHidDevices(system.hid), 4u);
  const auto& table = system.hid.HidDeviceTable;
  EXPECT_STREQ(table[1].productText, "unknown");
  EXPECT_EQ(table[1].vendorId, 0x1111);
  EXPECT_EQ(table[2].vendorId, 0);
  EXPECT_STREQ(table[2].productText, "Anonymous");
  EXPECT_EQ(std::string(table[3].path), system.stack.Interface(3).path);
  EXPECT_TRUE(system.messages.Boxes().empty());
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
  // The message boxes as the shell would show them: owned or not, caption, style, text.
  const std::string owned = "owned [Error!] 10 Error: ", alone = "[Error!] 10 Error: ";
  const std::string noProduct = owned + "HidD_GetProductString failed!";
  const Fault faults[] = {
      {[](sim::SimInterface& d) { d.productFails = true; }, {noProduct}},
      {[](sim::SimInterface& d) { d.attributesFail = true; }, {owned + "HidD_GetAttributes failed!"}},
      {[](sim::SimInterface& d) { d.descriptorFails = true; }, {owned + "HidD_GetPreparsedData failed!"}},
      {[](sim::SimInterface& d) { d.capsFail = true; }, {owned + "HidP_GetCaps failed!"}},
      {[](sim::SimInterface& d) { d.refusesOpen = true; }, {alone + "CreateFile failed!", noProduct}},
      {[](sim::SimInterface& d) { d.pathFails = true; }, {alone + "SetupDiGetInterfaceDeviceDetail failed!", noProduct}},
      {[](sim::SimInterface&) {}, {alone + "OpenDeviceInterface: malloc failed!", noProduct}, true},
  };
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.messages.front());
    DeviceRig system;
    system.AddKeyboard();
    fault.apply(system.stack.Interface(system.AddHidDevice(0x1111, 0x2222, u"Broken")));
    system.AddKeyboard();
    refuseNothrowArrays = fault.outOfMemory;
    bool listed = ListHidDevices(system.hid);
    refuseNothrowArrays = false;
    EXPECT_FALSE(listed);
    EXPECT_EQ(system.messages.Boxes(), fault.messages);
    EXPECT_EQ(system.stack.OpenHandleCount(), 0u);
  }
}

// The table holds the first 64 devices and the list ends within 128 entries; both passes
// convert product strings as the C runtime does in the "C" locale, each within its own
// buffer.
TEST(HidEnumeration, TableListAndStringsStayWithinTheirBounds) {
  DeviceRig system;
  system.AddHidDevice(0x1111, 0x0001, u"Caf\u00e9 \u0141\u00f3d\u017a");
  system.AddHidDevice(0x1111, 0x0002, std::u16string(70, u'x'));
  system.AddHidDevice(0x1111, 0x0003, std::u16string(200, u'y'));
  for (int i = 3; i < 200; ++i) system.AddHidDevice(0x1000, static_cast<std::uint16_t>(i + 1), u"Gadget");
  ASSERT_TRUE(ListHidDevices(system.hid));
  ASSERT_EQ(EnumerateHidDevices(system.hid), 64u);
  const HidCandidates& list = system.hid.HidCandidateList;
  const auto& table = system.hid.HidDeviceTable;
  EXPECT_EQ(table[63].productId, 64);
  EXPECT_EQ(list.productIds[126], 127);
  EXPECT_EQ(list.vendorIds[127], 0);
  EXPECT_EQ(list.productTexts[127][0], '\0');
  EXPECT_STREQ(list.productTexts[0], "");
  EXPECT_STREQ(table[0].productText, "");
  EXPECT_EQ(std::string(list.productTexts[1]), std::string(70, 'x'));
  EXPECT_EQ(std::string(table[1].productText), std::string(64, 'x'));
  EXPECT_STREQ(list.productTexts[2], "");  // 128 units leave no room for the terminator
  EXPECT_EQ(std::string(table[2].productText), std::string(64, 'y'));
}

}  // namespace
}  // namespace tessora

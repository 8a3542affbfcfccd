#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devlib/qorv_device_library.h"
#include "tests/support/device_rig.h"

namespace tessora {
namespace {

using Names = std::vector<std::string>;

// Interfaces without boards behind them: enough for the list.
class DeviceListTest : public ::testing::Test {
 protected:
  std::size_t AddInterface(const std::string& name, const Guid& guid = FilterDriverInterfaceGuid) {
    sim::SimInterface interface;
    interface.kind = guid == WinUsbInterfaceGuid ? sim::InterfaceKind::WinUsb : sim::InterfaceKind::FilterDriver;
    interface.interfaceClass = guid;
    interface.path = "\\\\?\\usb#" + name;
    rig.serials.push_back(test::UniqueSerial());
    interface.instanceId = "USB\\" + name + "\\" + rig.serials.back();
    return rig.stack.AddInterface(interface);
  }
  void Present(std::initializer_list<std::size_t> present) {
    for (std::size_t i = 0; i < rig.stack.InterfaceCount(); ++i) rig.stack.Interface(i).present = false;
    for (std::size_t i : present) rig.stack.Interface(i).present = true;
  }
  Names Order() {
    Names names;
    for (std::uint32_t h = rig.library.FirstDevice(); h != 0; h = rig.library.NextDevice(h))
      names.push_back(rig.library.FindByHandle(h)->DevicePath().substr(8));
    return names;
  }

  test::DeviceRig rig;
};

TEST_F(DeviceListTest, FoundDevicesMoveToTheFrontAndKeepTheirHandles) {
  EXPECT_EQ(rig.library.FirstDevice(), 0u);
  std::size_t a = AddInterface("a"), b = AddInterface("b"), c = AddInterface("c");
  rig.library.BuildDeviceList(false);
  EXPECT_EQ(Order(), (Names{"c", "b", "a"}));
  EXPECT_EQ(rig.library.GetDevice("\\\\?\\usb#a")->Handle(), 0x564D0000u);
  EXPECT_EQ(rig.library.GetDevice("\\\\?\\usb#c")->Handle(), 0x564D0106u);

  Present({a});
  rig.library.BuildDeviceList(false);
  EXPECT_EQ(Order(), (Names{"a", "c", "b"}));
  EXPECT_EQ(rig.library.DeviceCount(), 3);  // the unplugged keep their records

  Present({b, c});
  rig.library.BuildDeviceList(false);
  EXPECT_EQ(Order(), (Names{"c", "b", "a"}));
  EXPECT_EQ(rig.library.GetDevice("\\\\?\\USB#A")->Handle(), 0x564D0000u);
  EXPECT_EQ(rig.library.GetDevice("\\\\?\\usb#d"), nullptr);
  EXPECT_EQ(rig.library.NextDevice(0x564D0001), 0u);

  // A record remembers the interface it was found under.
  rig.library.SetInterfaceGuid(WinUsbInterfaceGuid);
  AddInterface("w", WinUsbInterfaceGuid);
  rig.library.BuildDeviceList(false);
  EXPECT_EQ(rig.library.FirstDevice(), 0x564D0189u);
  rig.library.SetInterfaceGuid(FilterDriverInterfaceGuid);
  EXPECT_TRUE(rig.library.GetDevice("\\\\?\\usb#w")->WinUsb());
  EXPECT_FALSE(rig.library.GetDevice("\\\\?\\usb#a")->WinUsb());
}

// An enumeration that cannot start: every later call would fail with an invalid-handle
// error, which must not keep the enumeration going for ever.
TEST_F(DeviceListTest, AFailedEnumerationLeavesTheListAsItWas) {
  AddInterface("a");
  AddInterface("b");
  rig.library.BuildDeviceList(false);
  Present({0});  // found again, "a" would move to the front
  rig.stack.enumerationFails = true;
  rig.library.BuildDeviceList(false);
  EXPECT_EQ(Order(), (Names{"b", "a"}));
}

TEST_F(DeviceListTest, MutexNamesFollowTheInstanceId) {
  const char* id = "USB\\VID_1234&PID_5678\\5&1F2E3D4C&0&2";
  EXPECT_EQ(QorvDevice::MutexName(id, true), "Global\\qorv2_USB#VID_1234&PID_5678#5&1F2E3D4C&0&2");
  EXPECT_EQ(QorvDevice::MutexName(id, false), "qorv2_USB#VID_1234&PID_5678#5&1F2E3D4C&0&2");

  AddInterface("a");
  rig.stack.Interface(AddInterface("blank")).instanceId.clear();
  rig.library.BuildDeviceList(false);
  QorvDevice* device = rig.library.GetDevice("\\\\?\\usb#a");
  ASSERT_TRUE(device->Lock(0));
  EXPECT_TRUE(device->Lock(0));  // the owner thread may take it again
  device->Unlock();
  device->Unlock();

  QorvDevice* withoutId = rig.library.GetDevice("\\\\?\\usb#blank");
  EXPECT_EQ(withoutId->GetInstanceId(), nullptr);
  EXPECT_FALSE(withoutId->Lock(0));

  // Pre-NT and NT 4 systems have no Terminal Services: the name has no global prefix.
  struct OldWindows : test::RecordingOs {
    OsVersion GetVersionExA() override { return OsVersion{4, 0, 2}; }
  } old;
  EXPECT_FALSE(QorvDeviceLibrary(old, rig.stack).TerminalServices());
  EXPECT_TRUE(rig.library.TerminalServices());
}

}  // namespace
}  // namespace tessora

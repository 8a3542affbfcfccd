#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/connection.h"
#include "hid/hid_device.h"
#include "tests/support/hid_system.h"
#include "tests/support/no_driver.h"

namespace tessora {
namespace {

using testing::HidSystem;

// The engine over HID on a simulated system, down through the device stack.
struct HidConnectionRig {
  HidConnectionRig() : context(settings, noDriver) {
    settings.useHid = 1;
    settings.hidUseFeature = 1;
    context.os = &system.clock;
    context.hid = &system.context;
  }
  const hidDeviceClass& Device() const { return static_cast<const hidDeviceClass&>(*context.hidDevice); }

  HidSystem system;
  Settings settings;
  testing::NoDriver noDriver;  // never asked: HID is selected
  EngineContext context;
};

// Devices that open but have no report 0xFF, or do not open at all, are walked past;
// a walk that finds no controller ends with a fresh closed object, and one that cannot
// read the device list fails with its message.
TEST(HidConnection, TheFirstCandidateAnsweringReport0xFFIsTaken) {
  HidConnectionRig rig;
  rig.system.AddKeyboard();
  std::size_t lookalike = rig.system.AddDevice(0x1111, 0x2222, u"Feature Gadget");
  rig.system.Interface(lookalike).caps.featureReportByteLength = 64;
  EXPECT_FALSE(ConnectDevice(rig.context));
  ASSERT_TRUE(rig.context.hidDevice);
  EXPECT_FALSE(rig.context.hidDevice->IsOpen());
  EXPECT_EQ(rig.system.stack.OpenHandleCount(), 0u);
  EXPECT_EQ(rig.context.pageSize, 64);

  auto first = testing::MakeBoard();
  auto second = testing::MakeBoard();
  std::size_t wanted = rig.system.AddController(*first, "A");
  rig.system.AddController(*second, "B");
  ASSERT_TRUE(ConnectDevice(rig.context));
  EXPECT_EQ(rig.Device().DevicePath(), rig.system.Interface(wanted).path);
  // A fresh connection closes the open object before it walks again.
  ASSERT_TRUE(ConnectDevice(rig.context));
  EXPECT_EQ(rig.Device().DevicePath(), rig.system.Interface(wanted).path);
  EXPECT_EQ(rig.system.stack.OpenHandleCount(), 2u);
  EXPECT_TRUE(rig.system.messages.shown.empty());

  rig.system.Interface(lookalike).productFails = true;
  EXPECT_FALSE(ConnectDevice(rig.context));
  EXPECT_FALSE(rig.context.hidDevice);
  EXPECT_EQ(rig.system.messages.shown.size(), 1u);
}

}  // namespace
}  // namespace tessora

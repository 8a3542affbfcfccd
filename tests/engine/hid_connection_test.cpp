#include <gtest/gtest.h>

#include <string>

#include "engine/connection.h"
#include "hid/hid_device.h"
#include "tests/support/shell_rig.h"

namespace tessora {
namespace {

// Devices that open but have no report 0xFF, or do not open at all, are walked past;
// a walk that finds no controller ends with a fresh closed object, and one that cannot
// read the device list fails with its message.
TEST(HidConnection, TheFirstCandidateAnsweringReport0xFFIsTaken) {
  testing::ShellRig rig;
  rig.settings.useHid = 1;
  auto path = [&] { return static_cast<const hidDeviceClass&>(*rig.context.hidDevice).DevicePath(); };
  rig.AddKeyboard();
  std::size_t lookalike = rig.AddHidDevice(0x1111, 0x2222, u"Feature Gadget");
  rig.stack.Interface(lookalike).caps.featureReportByteLength = 64;
  EXPECT_FALSE(ConnectDevice(rig.context));
  ASSERT_TRUE(rig.context.hidDevice);
  EXPECT_FALSE(rig.context.hidDevice->IsOpen());
  EXPECT_EQ(rig.stack.OpenHandleCount(), 0u);
  EXPECT_EQ(rig.context.pageSize, 64);

  std::size_t wanted = rig.stack.InterfaceCount();  // the first board's HID face
  rig.AddBoard();
  rig.AddBoard();
  ASSERT_TRUE(ConnectDevice(rig.context));
  EXPECT_EQ(path(), rig.stack.Interface(wanted).path);
  // A fresh connection closes the open object before it walks again.
  ASSERT_TRUE(ConnectDevice(rig.context));
  EXPECT_EQ(path(), rig.stack.Interface(wanted).path);
  EXPECT_EQ(rig.stack.OpenHandleCount(), 2u);
  EXPECT_TRUE(rig.ui.Boxes().empty());

  rig.stack.Interface(lookalike).productFails = true;
  EXPECT_FALSE(ConnectDevice(rig.context));
  EXPECT_FALSE(rig.context.hidDevice);
  EXPECT_EQ(rig.ui.Boxes().size(), 1u);
}

}  // namespace
}  // namespace tessora

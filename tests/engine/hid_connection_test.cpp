#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/connection.h"
#include "engine/image_file.h"
#include "engine/program_image.h"
#include "hid/hid_device.h"
#include "tests/support/hid_system.h"
#include "tests/support/test_support.h"

namespace tessora {
namespace {

using testing::HidSystem;

class NoDriverDevices : public DriverDispatch {
 public:
  std::uint32_t DispatchMemoryWrite(std::uint32_t, std::uint16_t, std::uint32_t, const std::uint8_t*) override {
    return 0;
  }
  std::uint32_t DispatchMemoryRead(std::uint32_t, std::uint16_t, std::uint32_t, std::uint8_t*) override { return 0; }
  std::uint32_t DispatchBusWrite(std::uint32_t, std::uint8_t, std::uint16_t, const std::uint8_t*, std::uint16_t,
                                 const std::uint8_t*) override {
    return 1;
  }
  std::uint32_t DispatchBusRead(std::uint32_t, std::uint8_t, std::uint16_t, const std::uint8_t*, std::uint16_t,
                                std::uint8_t*) override {
    return 1;
  }
};

// The engine over HID on a simulated system, down through the device stack.
struct HidConnectionRig {
  explicit HidConnectionRig(bool useFeature) : context(settings, dispatch) {
    settings.useHid = 1;
    settings.hidUseFeature = useFeature ? 1 : 0;
    context.os = &system.clock;
    context.hid = &system.context;
  }
  const hidDeviceClass& Device() const { return static_cast<const hidDeviceClass&>(*context.hidDevice); }

  HidSystem system;
  Settings settings;
  NoDriverDevices dispatch;
  EngineContext context;
};

TEST(HidConnection, NoHidInterfaceLeavesAFreshClosedObject) {
  HidConnectionRig rig(true);
  EXPECT_FALSE(ConnectDevice(rig.context));
  ASSERT_TRUE(rig.context.hidDevice);
  EXPECT_FALSE(rig.context.hidDevice->IsOpen());
  EXPECT_EQ(rig.context.pageSize, 64);
  EXPECT_TRUE(rig.system.messages.shown.empty());
}

TEST(HidConnection, AnUnreadableInterfaceFailsTheConnectionWithItsMessage) {
  HidConnectionRig rig(true);
  auto board = testing::MakeBoard();
  rig.system.AddController(*board);
  rig.system.Interface(rig.system.AddDevice(0x1111, 0x2222, u"Mute")).productFails = true;
  EXPECT_FALSE(ConnectDevice(rig.context));
  EXPECT_FALSE(rig.context.hidDevice);
  ASSERT_EQ(rig.system.messages.shown.size(), 1u);
}

// Devices that open but have no report 0xFF, or do not open at all, are walked past.
TEST(HidConnection, TheFirstCandidateAnsweringReport0xFFIsTaken) {
  HidConnectionRig rig(true);
  rig.system.AddKeyboard();
  std::size_t lookalike = rig.system.AddDevice(0x1111, 0x2222, u"Feature Gadget");
  rig.system.Interface(lookalike).caps.featureReportByteLength = 64;
  auto first = testing::MakeBoard();
  auto second = testing::MakeBoard();
  std::size_t wanted = rig.system.AddController(*first, "A");
  rig.system.AddController(*second, "B");

  ASSERT_TRUE(ConnectDevice(rig.context));
  EXPECT_EQ(rig.Device().DevicePath(), rig.system.Interface(wanted).path);
  EXPECT_EQ(rig.context.pageSize, 64);

  // A fresh connection closes the open object before it walks again.
  ASSERT_TRUE(ConnectDevice(rig.context));
  EXPECT_EQ(rig.Device().DevicePath(), rig.system.Interface(wanted).path);
  EXPECT_EQ(rig.system.stack.OpenHandleCount(), 2u);
}

TEST(HidConnection, AWalkWithoutTheControllerEndsClosed) {
  HidConnectionRig rig(true);
  rig.system.AddKeyboard();
  rig.system.Interface(rig.system.AddDevice(0x1111, 0x2222, u"Gadget")).caps.featureReportByteLength = 200;
  EXPECT_FALSE(ConnectDevice(rig.context));
  ASSERT_TRUE(rig.context.hidDevice);
  EXPECT_FALSE(rig.context.hidDevice->IsOpen());
  EXPECT_EQ(rig.system.stack.OpenHandleCount(), 0u);
}

class HidRoundTrip : public ::testing::TestWithParam<bool> {};

// What is programmed over HID verifies, reads back out and loads into the same bytes.
TEST_P(HidRoundTrip, ProgramsAndReadsOutThroughTheDeviceStack) {
  bool useFeature = GetParam();
  HidConnectionRig rig(useFeature);
  rig.system.AddKeyboard();
  auto board = testing::MakeBoard();
  rig.system.AddController(*board);
  ASSERT_TRUE(ConnectDevice(rig.context));
  EXPECT_EQ(rig.context.pageSize, useFeature ? 64 : 32);

  testing::TempDir dir;
  testing::CountingProgress progress;
  std::vector<std::uint8_t> bytes = testing::PatternBytes(300);
  std::string image = dir.File("image.hex");
  testing::WriteFile(image, testing::ImageText(bytes));
  auto pageSize = static_cast<std::uint16_t>(rig.context.pageSize);
  ASSERT_EQ(ProgramImage(rig.context, progress, image.c_str(), 0x51, pageSize, 2), 0);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), board->EepromPart().Contents().begin()));

  std::string out = dir.File("out.hex");
  ASSERT_EQ(ReadOutToFile(rig.context, progress, out.c_str(), 0x51, 0, 300, 16, 2), 0);
  std::vector<std::uint8_t> loaded(16384, 0);
  ASSERT_EQ(ReadImageFile(out.c_str(), loaded.data(), 16384), 300);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), loaded.begin()));
  for (const std::string& line : board->TraceLines()) ASSERT_EQ(line.rfind("hid ", 0), 0u) << line;
}

INSTANTIATE_TEST_SUITE_P(FeatureAndOutputInputReports, HidRoundTrip, ::testing::Bool());

}  // namespace
}  // namespace tessora

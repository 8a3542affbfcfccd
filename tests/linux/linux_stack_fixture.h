#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/native_os_services.h"
#include "tests/linux/emulated_usb.h"

namespace tessora::testing {

// A keyboard first, then a controller with a serial, then one without strings and without
// the Microsoft OS 2.0 capability.
class LinuxStackTest : public ::testing::Test {
 protected:
  static std::vector<EmulatedDevice> Devices(sim::SimBoard& a, sim::SimBoard& b) {
    EmulatedDevice keyboard{0x046D, 0xC31C, "Tastatur \xC3\x84", "", KeyboardReportDescriptor(), false, nullptr};
    EmulatedDevice first{0x3E9A, 0x0210, "Qorvane USB Controller", "QV000001", ControllerReportDescriptor(), true, &a};
    EmulatedDevice second{0x3E9A, 0x0210, "", "", ControllerReportDescriptor(), false, &b};
    return {keyboard, first, second};
  }

  sim::SimBoard boardA{{}, std::vector<std::uint8_t>(16384, 0xFF)};
  sim::SimBoard boardB{{}, std::vector<std::uint8_t>(16384, 0xFF)};
  EmulatedUsb usb{Devices(boardA, boardB)};
  std::unique_ptr<OsServices> os = CreateNativeOsServices();
};

}  // namespace tessora::testing

#include <array>
#include <memory>

#include "engine/connection.h"
#include "engine/hid_requests.h"
#include "hid/hid_device.h"
#include "hid/hid_enumeration.h"

namespace tessora {

namespace {

constexpr std::size_t kProbeBufferSize = 128;
constexpr std::uint16_t kSmallestUsableOutputReport = 33;

bool IsEndEntry(const HidCandidates& list, std::size_t i) { return list.vendorIds[i] == 0; }

}  // namespace

// Every HID interface present is a candidate, in enumeration order; identical devices
// are reached one after the other because OpenNextMatch goes on from the cursor.
bool ConnectHidDevice(EngineContext& context) {
  if (context.hidDevice) {
    if (context.hidDevice->IsOpen()) context.hidDevice->Close();
    context.hidDevice.reset();
  }
  if (context.hid == nullptr || !ListHidDevices(*context.hid)) return false;
  auto created = std::make_unique<hidDeviceClass>(*context.hid);
  hidDeviceClass& device = *created;
  context.hidDevice = std::move(created);
  context.pageSize = context.settings.hidUseFeature != 0 ? 64 : 32;

  const HidCandidates& list = context.hid->HidCandidateList;
  if (IsEndEntry(list, 0)) return false;
  device.OpenFirstMatch(list.vendorIds[0], list.productIds[0], list.productTexts[0]);
  if (ProbeHidDevice(context) == 0) return true;
  for (std::size_t i = 1; i < kHidCandidateListSize; ++i) {
    device.Close();
    if (IsEndEntry(list, i)) return false;
    device.OpenNextMatch(list.vendorIds[i], list.productIds[i], list.productTexts[i]);
    if (ProbeHidDevice(context) == 0) return true;
  }
  device.Close();
  return false;
}

// The controller hands out feature report 0xFF; other HID devices do not. A feature
// report longer than the probe buffer cannot be the controller's and is not fetched.
int ProbeHidDevice(EngineContext& context) {
  if (!context.hidDevice) return 1;
  HidReportPort& device = *context.hidDevice;
  std::array<std::uint8_t, kProbeBufferSize> buffer{};
  if (device.IsOpen()) buffer[0] = kHidReportId;
  if (context.settings.hidUseFeature == 0) return device.OutputReportLength() >= kSmallestUsableOutputReport ? 0 : 1;
  std::uint16_t length = device.FeatureReportLength();
  if (length == 0 || length > buffer.size()) return 1;
  return device.GetFeatureReport(buffer.data(), length) ? 0 : 1;
}

}  // namespace tessora

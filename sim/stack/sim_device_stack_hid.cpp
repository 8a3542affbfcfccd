// The HID class calls of the simulated system.
#include <cstring>

#include "platform/hid_string.h"
#include "sim/stack/sim_device_stack.h"

namespace tessora::sim {

bool SimDeviceStack::HidD_GetAttributes(OsHandle device, HidAttributes& attributes) {
  std::lock_guard lock(mutex_);
  SimInterface* interface = ConnectedInterface(device);
  if (interface == nullptr) return false;
  if (interface->attributesFail || interface->kind != InterfaceKind::Hid) return Fail(kErrorGenFailure);
  attributes = interface->attributes;
  return true;
}

bool SimDeviceStack::HidD_GetProductString(OsHandle device, char16_t* buffer, std::uint32_t bufferBytes) {
  std::lock_guard lock(mutex_);
  SimInterface* interface = ConnectedInterface(device);
  if (interface == nullptr) return false;
  if (buffer == nullptr || interface->productFails || interface->kind != InterfaceKind::Hid)
    return Fail(kErrorGenFailure);
  CopyHidString(interface->product, buffer, bufferBytes);
  return true;
}

bool SimDeviceStack::HidD_GetSerialNumberString(OsHandle device, char16_t* buffer, std::uint32_t bufferBytes) {
  std::lock_guard lock(mutex_);
  SimInterface* interface = ConnectedInterface(device);
  if (interface == nullptr) return false;
  if (buffer == nullptr || interface->serialNumber.empty() || interface->kind != InterfaceKind::Hid)
    return Fail(kErrorGenFailure);
  CopyHidString(interface->serialNumber, buffer, bufferBytes);
  return true;
}

bool SimDeviceStack::HidD_GetPreparsedData(OsHandle device, OsHandle* preparsed) {
  std::lock_guard lock(mutex_);
  SimInterface* interface = ConnectedInterface(device);
  if (interface == nullptr) return false;
  if (preparsed == nullptr || interface->descriptorFails || interface->kind != InterfaceKind::Hid)
    return Fail(kErrorGenFailure);
  *preparsed = preparsed_.Add(FindSimFile(device)->interfaceIndex);
  return true;
}

bool SimDeviceStack::HidD_FreePreparsedData(OsHandle preparsed) {
  std::lock_guard lock(mutex_);
  return preparsed_.Remove(preparsed);
}

bool SimDeviceStack::HidP_GetCaps(OsHandle preparsed, HidCaps& caps) {
  std::lock_guard lock(mutex_);
  std::size_t* index = preparsed_.Find(preparsed);
  if (index == nullptr || interfaces_[*index].capsFail) return false;
  caps = interfaces_[*index].caps;
  return true;
}

// Only the controller's face has a report descriptor worth the name: feature report 0xFF.
bool SimDeviceStack::HidP_HasFeatureReportId(OsHandle preparsed, std::uint8_t reportId) {
  std::lock_guard lock(mutex_);
  std::size_t* index = preparsed_.Find(preparsed);
  if (index == nullptr) return false;
  const SimInterface& interface = interfaces_[*index];
  return interface.hidFace != nullptr && interface.caps.featureReportByteLength > 0 && reportId == HidFace::kReportId;
}

bool SimDeviceStack::HidD_SetFeature(OsHandle device, const void* report, std::uint32_t length) {
  std::lock_guard lock(mutex_);
  SimInterface* interface = ConnectedInterface(device);
  if (interface == nullptr) return false;
  if (interface->hidFace == nullptr) return Fail(kErrorInvalidFunction);
  if (!interface->hidFace->SetFeature(static_cast<const std::uint8_t*>(report), length)) return Fail(kErrorGenFailure);
  return true;
}

bool SimDeviceStack::HidD_GetFeature(OsHandle device, void* report, std::uint32_t length) {
  std::lock_guard lock(mutex_);
  SimInterface* interface = ConnectedInterface(device);
  if (interface == nullptr) return false;
  if (interface->hidFace == nullptr) return Fail(kErrorInvalidFunction);
  if (!interface->hidFace->GetFeature(static_cast<std::uint8_t*>(report), length)) return Fail(kErrorGenFailure);
  return true;
}

bool SimDeviceStack::WriteFile(OsHandle device, const void* buffer, std::uint32_t size, std::uint32_t* written) {
  std::lock_guard lock(mutex_);
  if (written != nullptr) *written = 0;
  SimInterface* interface = ConnectedInterface(device);
  if (interface == nullptr) return false;
  if (interface->hidFace == nullptr) return Fail(kErrorInvalidFunction);
  if (!interface->hidFace->WriteOutput(static_cast<const std::uint8_t*>(buffer), size)) return Fail(kErrorGenFailure);
  if (written != nullptr) *written = size;
  // A bus read's answer is an input report, which a pending overlapped read takes.
  CompleteOverlappedReads(FindSimFile(device)->interfaceIndex);
  return true;
}

bool SimDeviceStack::ReadFile(OsHandle device, void* buffer, std::uint32_t size, std::uint32_t* read) {
  std::lock_guard lock(mutex_);
  if (read != nullptr) *read = 0;
  SimInterface* interface = ConnectedInterface(device);
  if (interface == nullptr) return false;
  if (interface->hidFace == nullptr) return Fail(kErrorInvalidFunction);
  if (!interface->hidFace->ReadInput(static_cast<std::uint8_t*>(buffer), size, read)) return Fail(kErrorGenFailure);
  return true;
}

}  // namespace tessora::sim

// ListHidDevices and OpenDeviceInterface: the candidate list the connection walks.
#include <cstring>
#include <iterator>

#include "hid/hid_enumeration.h"
#include "hid/hid_interface_path.h"
#include "hid/hid_text.h"

namespace tessora {

namespace {

void ShowError(HidContext& context, bool ownedByMainWindow, const char* text) {
  context.messages.ShowMessage(ownedByMainWindow, text, kHidMessageCaption, kHidMessageStyle);
}

bool FailList(HidContext& context, const char* text) {
  ShowError(context, true, text);
  return false;
}

bool ListCandidate(HidContext& context, OsHandle set, const DeviceInterfaceData& interface, std::size_t n) {
  DeviceStack& stack = context.stack;
  std::unique_ptr<char[]> detail;
  FileHandle device(stack, OpenDeviceInterface(context, set, interface, detail));
  char16_t product[kHidProductTextSize] = {};
  if (!device.Valid() || !stack.HidD_GetProductString(device.Get(), product, sizeof product))
    return FailList(context, "Error: HidD_GetProductString failed!");
  HidAttributes attributes;
  if (!stack.HidD_GetAttributes(device.Get(), attributes)) return FailList(context, "Error: HidD_GetAttributes failed!");
  OsHandle descriptor = kNullHandle;
  if (!stack.HidD_GetPreparsedData(device.Get(), &descriptor))
    return FailList(context, "Error: HidD_GetPreparsedData failed!");
  PreparsedData preparsed(stack, descriptor);
  HidCaps caps;
  if (!stack.HidP_GetCaps(preparsed.Get(), caps)) return FailList(context, "Error: HidP_GetCaps failed!");

  HidCandidates& list = context.HidCandidateList;
  list.vendorIds[n] = attributes.vendorId;
  list.productIds[n] = attributes.productId;
  NarrowLikeWcstombs(product, std::size(product), list.productTexts[n], kHidProductTextSize);
  return true;
}

}  // namespace

OsHandle OpenDeviceInterface(HidContext& context, OsHandle set, const DeviceInterfaceData& interface,
                             std::unique_ptr<char[]>& detail) {
  switch (ReadInterfacePath(context.stack, set, interface, detail)) {
    case InterfacePathResult::NoMemory:
      ShowError(context, false, "Error: OpenDeviceInterface: malloc failed!");
      return kNullHandle;
    case InterfacePathResult::Unreadable:
      ShowError(context, false, "Error: SetupDiGetInterfaceDeviceDetail failed!");
      detail.reset();
      return kNullHandle;
    case InterfacePathResult::Read:
      break;
  }
  OsHandle device = context.stack.CreateFileA(detail.get(), 0, kFileShareRead | kFileShareWrite, kOpenExisting, 0);
  if (!IsUsable(device)) {
    ShowError(context, false, "Error: CreateFile failed!");
    detail.reset();
    return kNullHandle;
  }
  return device;
}

bool ListHidDevices(HidContext& context) {
  Guid hidGuid{};
  DeviceInfoSet set = OpenPresentHidInterfaces(context.stack, hidGuid);
  HidCandidates& list = context.HidCandidateList;
  // The last entry is kept for the end entry, however many interfaces there are.
  std::size_t n = 0;
  for (; n + 1 < kHidCandidateListSize; ++n) {
    DeviceInterfaceData interface;
    if (!context.stack.SetupDiEnumDeviceInterfaces(set.Get(), hidGuid, static_cast<std::uint32_t>(n), interface))
      break;
    if (!ListCandidate(context, set.Get(), interface, n)) return false;
  }
  list.vendorIds[n] = 0;
  list.productIds[n] = 0;
  std::memset(list.productTexts[n], 0, kHidProductTextSize);
  return true;
}

}  // namespace tessora

// EnumerateHidDevices: the table the device object opens devices from.
#include <iterator>

#include "hid/hid_enumeration.h"
#include "hid/hid_interface_path.h"
#include "hid/hid_text.h"

namespace tessora {

namespace {

// Fills entry from interface `index`; false ends the pass. Missing attributes or a
// missing product string do not.
bool ReadTableEntry(DeviceStack& stack, OsHandle set, const Guid& hidGuid, std::uint32_t index, HidDeviceEntry& entry) {
  DeviceInterfaceData interface;
  if (!stack.SetupDiEnumDeviceInterfaces(set, hidGuid, index, interface)) return false;
  std::unique_ptr<char[]> path;
  if (ReadInterfacePath(stack, set, interface, path) != InterfacePathResult::Read) return false;
  // A path the entry cannot hold whole could only open some other device.
  if (!CopyTextIfFits(path.get(), entry.path, sizeof entry.path)) return false;

  FileHandle device(stack, stack.CreateFileA(entry.path, 0, kFileShareRead | kFileShareWrite, kOpenExisting, 0));
  if (!device.Valid()) return false;
  OsHandle descriptor = kNullHandle;
  if (!stack.HidD_GetPreparsedData(device.Get(), &descriptor)) return false;
  PreparsedData preparsed(stack, descriptor);

  HidAttributes attributes;
  if (stack.HidD_GetAttributes(device.Get(), attributes)) {
    entry.vendorId = attributes.vendorId;
    entry.productId = attributes.productId;
  }
  // The product string gets the room the entry's text field would give it as UTF-16.
  char16_t product[kHidProductTextSize / sizeof(char16_t)] = {};
  if (stack.HidD_GetProductString(device.Get(), product, sizeof product))
    NarrowLikeWcstombs(product, std::size(product), entry.productText, sizeof entry.productText);
  else
    CopyTextIfFits(kUnknownText, entry.productText, sizeof entry.productText);
  return true;
}

}  // namespace

std::uint32_t EnumerateHidDevices(HidContext& context) {
  context.HidDeviceTable = {};
  Guid hidGuid{};
  DeviceInfoSet set = OpenPresentHidInterfaces(context.stack, hidGuid);
  std::uint32_t count = 0;
  while (count < kHidDeviceTableSize &&
         ReadTableEntry(context.stack, set.Get(), hidGuid, count, context.HidDeviceTable[count]))
    ++count;
  return count;
}

}  // namespace tessora

#include "app/selected_device_stack.h"

namespace tessora {

namespace {

// Enumeration indexes that fail for another reason than the end of the set are skipped,
// as the device library does; past this many the set is taken as ended.
constexpr std::uint32_t kLargestSet = 4096;

}  // namespace

SelectedDeviceStack::Selection SelectedDeviceStack::Select(OsHandle set, const Guid& interfaceClass) {
  Selection selection;
  for (std::uint32_t index = 0; index < kLargestSet; ++index) {
    selection.end = index + 1;
    DeviceInterfaceData data;
    if (!Inner().SetupDiEnumDeviceInterfaces(set, interfaceClass, index, data)) {
      if (Inner().GetLastError() != kErrorNoMoreItems) continue;
      selection.end = index;
      break;
    }
    if (filter_(Inner(), set, interfaceClass, data)) selection.members.push_back(index);
  }
  return selection;
}

OsHandle SelectedDeviceStack::SetupDiGetClassDevsA(const Guid& interfaceClass, std::uint32_t flags) {
  OsHandle set = Inner().SetupDiGetClassDevsA(interfaceClass, flags);
  if (!IsUsable(set)) return set;
  Selection selection = Select(set, interfaceClass);
  std::lock_guard lock(mutex_);
  selections_[set] = std::move(selection);
  return set;
}

bool SelectedDeviceStack::SetupDiEnumDeviceInterfaces(OsHandle set, const Guid& interfaceClass, std::uint32_t index,
                                                      DeviceInterfaceData& data) {
  std::uint32_t underlying = index;
  {
    std::lock_guard lock(mutex_);
    auto found = selections_.find(set);
    if (found != selections_.end())
      underlying = index < found->second.members.size() ? found->second.members[index] : found->second.end;
  }
  return Inner().SetupDiEnumDeviceInterfaces(set, interfaceClass, underlying, data);
}

bool SelectedDeviceStack::SetupDiDestroyDeviceInfoList(OsHandle set) {
  {
    std::lock_guard lock(mutex_);
    selections_.erase(set);
  }
  return Inner().SetupDiDestroyDeviceInfoList(set);
}

}  // namespace tessora

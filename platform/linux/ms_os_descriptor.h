#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/types.h"

namespace tessora::linuxstack {

// Where a device keeps its Microsoft OS 2.0 descriptor set, from the platform capability
// of its BOS descriptor: fetched with a vendor IN request of that code, wIndex 7.
struct MsOs20Location {
  std::uint8_t vendorCode = 0;
  std::uint16_t totalLength = 0;
};

constexpr std::uint16_t kMsOs20DescriptorIndex = 7;

std::optional<MsOs20Location> FindMsOs20Capability(std::span<const std::uint8_t> bos);

// One interface class a device declares for one of its interfaces.
struct DeclaredInterfaceClass {
  std::uint8_t interfaceNumber = 0;
  Guid interfaceClass{};
};

// Every "{...}" GUID that the registry properties `DeviceInterfaceGUIDs` (or the single
// `DeviceInterfaceGUID`) of a descriptor set hold, in the set's order, each with the
// interface of its function subset; a set without function subsets speaks for interface 0.
std::vector<DeclaredInterfaceClass> DeclaredInterfaceClasses(std::span<const std::uint8_t> descriptorSet);

}  // namespace tessora::linuxstack

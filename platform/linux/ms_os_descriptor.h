#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace tessora::linuxstack {

// Where a device keeps its Microsoft OS 2.0 descriptor set, from the platform capability
// of its BOS descriptor: fetched with a vendor IN request of that code, wIndex 7.
struct MsOs20Location {
  std::uint8_t vendorCode = 0;
  std::uint16_t totalLength = 0;
};

constexpr std::uint16_t kMsOs20DescriptorIndex = 7;

std::optional<MsOs20Location> FindMsOs20Capability(std::span<const std::uint8_t> bos);

// The interface whose registry properties declare `DeviceInterfaceGUIDs` (or the single
// `DeviceInterfaceGUID`) holding the given "{...}" text, compared without regard to case;
// a set without function subsets speaks for interface 0.
std::optional<std::uint8_t> FindInterfaceDeclaringGuid(std::span<const std::uint8_t> descriptorSet,
                                                       std::string_view guidText);

}  // namespace tessora::linuxstack

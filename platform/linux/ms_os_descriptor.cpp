#include "platform/linux/ms_os_descriptor.h"

#include <array>
#include <cctype>
#include <cstring>
#include <string>

namespace tessora::linuxstack {

namespace {

constexpr std::uint8_t kBosType = 0x0F;
constexpr std::uint8_t kDeviceCapabilityType = 0x10;
constexpr std::uint8_t kPlatformCapability = 0x05;
// {D8DD60DF-4589-4CC7-9CD2-659D9E648A9F} as it travels.
constexpr std::array<std::uint8_t, 16> kMsOs20PlatformUuid = {0xDF, 0x60, 0xDD, 0xD8, 0x89, 0x45, 0xC7, 0x4C,
                                                               0x9C, 0xD2, 0x65, 0x9D, 0x9E, 0x64, 0x8A, 0x9F};
constexpr std::size_t kMsOs20CapabilityLength = 28;

constexpr std::uint16_t kFunctionSubsetHeader = 2;
constexpr std::uint16_t kRegistryProperty = 4;

std::uint16_t Little16(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

// UTF-16LE text as ASCII, upper case; units above 0x7F become '?'.
std::string AsciiUpper(std::span<const std::uint8_t> utf16) {
  std::string text;
  for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) {
    std::uint16_t unit = Little16(utf16, i);
    text += unit < 0x80 ? static_cast<char>(std::toupper(unit)) : '?';
  }
  return text;
}

// One registry property feature descriptor: name, then data, each with its length.
bool PropertyDeclaresGuid(std::span<const std::uint8_t> property, const std::string& wanted) {
  if (property.size() < 10) return false;
  std::size_t nameLength = Little16(property, 6);
  if (8 + nameLength + 2 > property.size()) return false;
  std::string name = AsciiUpper(property.subspan(8, nameLength));
  std::size_t dataLength = Little16(property, 8 + nameLength);
  if (10 + nameLength + dataLength > property.size()) return false;
  if (name.compare(0, 19, "DEVICEINTERFACEGUID") != 0) return false;
  return AsciiUpper(property.subspan(10 + nameLength, dataLength)).find(wanted) != std::string::npos;
}

}  // namespace

std::optional<MsOs20Location> FindMsOs20Capability(std::span<const std::uint8_t> bos) {
  if (bos.size() < 5 || bos[1] != kBosType) return std::nullopt;
  std::size_t end = Little16(bos, 2) < bos.size() ? Little16(bos, 2) : bos.size();
  for (std::size_t at = bos[0]; at + 3 <= end;) {
    std::size_t length = bos[at];
    if (length < 3 || at + length > end) return std::nullopt;
    std::span<const std::uint8_t> capability = bos.subspan(at, length);
    if (capability[1] == kDeviceCapabilityType && capability[2] == kPlatformCapability &&
        length >= kMsOs20CapabilityLength &&
        std::memcmp(&capability[4], kMsOs20PlatformUuid.data(), kMsOs20PlatformUuid.size()) == 0) {
      return MsOs20Location{capability[26], Little16(capability, 24)};
    }
    at += length;
  }
  return std::nullopt;
}

std::optional<std::uint8_t> FindInterfaceDeclaringGuid(std::span<const std::uint8_t> descriptorSet,
                                                       std::string_view guidText) {
  std::string wanted(guidText);
  for (char& c : wanted) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::uint8_t interface = 0;
  for (std::size_t at = 0; at + 4 <= descriptorSet.size();) {
    std::size_t length = Little16(descriptorSet, at);
    if (length < 4 || at + length > descriptorSet.size()) return std::nullopt;
    std::span<const std::uint8_t> item = descriptorSet.subspan(at, length);
    std::uint16_t type = Little16(item, 2);
    if (type == kFunctionSubsetHeader && length >= 5) interface = item[4];
    if (type == kRegistryProperty && PropertyDeclaresGuid(item, wanted)) return interface;
    at += length;
  }
  return std::nullopt;
}

}  // namespace tessora::linuxstack

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

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

// Upper-case hex digits of `text` from `at` as a number of `count` digits; false at a non-digit.
bool HexNumber(const std::string& text, std::size_t at, std::size_t count, std::uint32_t& number) {
  number = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    int digit = HexDigit(text[i]);
    if (digit < 0) return false;
    number = number << 4 | static_cast<std::uint32_t>(digit);
  }
  return true;
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case, starting at `at`.
std::optional<Guid> GuidAt(const std::string& text, std::size_t at) {
  constexpr std::size_t kGuidTextLength = 38;
  if (at + kGuidTextLength > text.size() || text[at + 37] != '}') return std::nullopt;
  for (std::size_t dash : {9, 14, 19, 24})
    if (text[at + dash] != '-') return std::nullopt;
  Guid guid{};
  std::uint32_t part = 0;
  if (!HexNumber(text, at + 1, 8, guid.data1)) return std::nullopt;
  if (!HexNumber(text, at + 10, 4, part)) return std::nullopt;
  guid.data2 = static_cast<std::uint16_t>(part);
  if (!HexNumber(text, at + 15, 4, part)) return std::nullopt;
  guid.data3 = static_cast<std::uint16_t>(part);
  constexpr std::size_t kByteAt[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (std::size_t i = 0; i < 8; ++i) {
    if (!HexNumber(text, at + kByteAt[i], 2, part)) return std::nullopt;
    guid.data4[i] = static_cast<std::uint8_t>(part);
  }
  return guid;
}

// One registry property feature descriptor: name, then data, each with its length.
void TakeDeclaredGuids(std::span<const std::uint8_t> property, std::uint8_t interface,
                       std::vector<DeclaredInterfaceClass>& declared) {
  if (property.size() < 10) return;
  std::size_t nameLength = Little16(property, 6);
  if (8 + nameLength + 2 > property.size()) return;
  std::string name = AsciiUpper(property.subspan(8, nameLength));
  std::size_t dataLength = Little16(property, 8 + nameLength);
  if (10 + nameLength + dataLength > property.size()) return;
  if (name.compare(0, 19, "DEVICEINTERFACEGUID") != 0) return;
  std::string data = AsciiUpper(property.subspan(10 + nameLength, dataLength));
  for (std::size_t at = data.find('{'); at != std::string::npos; at = data.find('{', at + 1))
    if (std::optional<Guid> guid = GuidAt(data, at)) declared.push_back({interface, *guid});
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

std::vector<DeclaredInterfaceClass> DeclaredInterfaceClasses(std::span<const std::uint8_t> descriptorSet) {
  std::vector<DeclaredInterfaceClass> declared;
  std::uint8_t interface = 0;
  for (std::size_t at = 0; at + 4 <= descriptorSet.size();) {
    std::size_t length = Little16(descriptorSet, at);
    if (length < 4 || at + length > descriptorSet.size()) return declared;
    std::span<const std::uint8_t> item = descriptorSet.subspan(at, length);
    std::uint16_t type = Little16(item, 2);
    if (type == kFunctionSubsetHeader && length >= 5) interface = item[4];
    if (type == kRegistryProperty) TakeDeclaredGuids(item, interface, declared);
    at += length;
  }
  return declared;
}

}  // namespace tessora::linuxstack

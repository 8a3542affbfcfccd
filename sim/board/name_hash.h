#pragma once
#include <cstdint>
#include <string_view>

namespace tessora::sim {

// FNV-1a of a name: the same in every build and on every platform, so that programs
// sharing a simulated board derive the same serial numbers and places from it.
inline std::uint32_t NameHash(std::string_view name) {
  std::uint32_t hash = 2166136261u;
  for (char c : name) hash = (hash ^ static_cast<std::uint8_t>(c)) * 16777619u;
  return hash;
}

}  // namespace tessora::sim

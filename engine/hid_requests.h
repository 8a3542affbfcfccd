#pragma once
#include <array>
#include <cstdint>
#include <span>

namespace tessora {

// Every HID request is built in one zero-filled 128-byte buffer; byte 0 is report ID
// 0xFF, byte 1 the command. Builders refuse what does not fit instead of writing past it.
constexpr std::size_t kHidRequestSize = 128;
using HidRequest = std::array<std::uint8_t, kHidRequestSize>;

constexpr std::uint8_t kHidReportId = 0xFF;
constexpr std::uint8_t kHidMemoryWrite = 0x01;
constexpr std::uint8_t kHidBusRead = 0x04;
constexpr std::uint8_t kHidBusWrite = 0x05;
constexpr std::uint32_t kMaxHidChunk = 64;

// Each returns how many bytes of the buffer the request uses, or 0 when it is refused.
std::size_t BuildMemoryWriteRequest(std::uint16_t address, std::span<const std::uint8_t> data, HidRequest& request);
std::size_t BuildBusWriteRequest(std::uint8_t busAddress, int width, const std::uint8_t* subaddress,
                                 std::span<const std::uint8_t> data, HidRequest& request);
std::size_t BuildBusReadRequest(std::uint8_t busAddress, int width, const std::uint8_t* subaddress,
                                std::uint32_t count, HidRequest& request);

}  // namespace tessora

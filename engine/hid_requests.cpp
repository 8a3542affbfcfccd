#include "engine/hid_requests.h"

#include <algorithm>

namespace tessora {

namespace {

void Start(HidRequest& request, std::uint8_t command) {
  request.fill(0);
  request[0] = kHidReportId;
  request[1] = command;
}

}  // namespace

std::size_t BuildMemoryWriteRequest(std::uint16_t address, std::span<const std::uint8_t> data, HidRequest& request) {
  if (data.empty() || data.size() > kMaxHidChunk) return 0;
  Start(request, kHidMemoryWrite);
  request[2] = static_cast<std::uint8_t>(address >> 8);
  request[3] = static_cast<std::uint8_t>(address);
  request[4] = static_cast<std::uint8_t>(data.size());
  std::copy(data.begin(), data.end(), request.begin() + 5);
  return 5 + data.size();
}

std::size_t BuildBusWriteRequest(std::uint8_t busAddress, int width, const std::uint8_t* subaddress,
                                 std::span<const std::uint8_t> data, HidRequest& request) {
  if (width < 0 || width > 2 || (width > 0 && subaddress == nullptr)) return 0;
  std::size_t used = 8 + static_cast<std::size_t>(width) + data.size();
  if (used > kHidRequestSize) return 0;
  Start(request, kHidBusWrite);
  request[2] = static_cast<std::uint8_t>(busAddress << 1);
  request[3] = 0x00;
  request[4] = static_cast<std::uint8_t>(data.size());
  request[5] = static_cast<std::uint8_t>(width);
  std::copy(subaddress, subaddress + width, request.begin() + 6);
  request[6 + width] = 0xFF;
  request[7 + width] = 0xFF;
  std::copy(data.begin(), data.end(), request.begin() + 8 + width);
  return used;
}

std::size_t BuildBusReadRequest(std::uint8_t busAddress, int width, const std::uint8_t* subaddress,
                                std::uint32_t count, HidRequest& request) {
  if (count == 0 || count > kMaxHidChunk || width < 0 || width > 2 || (width > 0 && subaddress == nullptr)) return 0;
  Start(request, kHidBusRead);
  request[2] = static_cast<std::uint8_t>((busAddress << 1) | 1);
  request[3] = 0x00;
  request[4] = static_cast<std::uint8_t>(count);
  request[5] = static_cast<std::uint8_t>(width);
  if (width >= 1) request[6] = subaddress[0];
  if (width == 2) request[7] = subaddress[1];
  return 8;
}

}  // namespace tessora

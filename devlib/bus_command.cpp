#include "devlib/bus_command.h"

namespace tessora {

namespace {

constexpr std::uint8_t kStatusFailed = 0x01;
constexpr std::uint8_t kStatusDone = 0x80;
constexpr std::uint8_t kStatusDoneAlternative = 0xFF;

}  // namespace

std::vector<std::uint8_t> BuildBusCommand(bool read, std::uint8_t busAddress, std::uint16_t subaddressCount,
                                          const std::uint8_t* subaddress, std::uint16_t length,
                                          const std::uint8_t* data) {
  std::size_t dataCount = read ? 0 : length;
  std::vector<std::uint8_t> packet;
  packet.reserve(6u + subaddressCount + dataCount);
  packet.push_back(static_cast<std::uint8_t>((busAddress << 1) | (read ? 1 : 0)));
  packet.push_back(static_cast<std::uint8_t>(length >> 8));
  packet.push_back(static_cast<std::uint8_t>(length & 0xFF));
  packet.push_back(static_cast<std::uint8_t>(subaddressCount & 0xFF));
  if (subaddressCount > 0) packet.insert(packet.end(), subaddress, subaddress + subaddressCount);
  packet.push_back(0xFF);
  packet.push_back(0xFF);
  if (dataCount > 0) packet.insert(packet.end(), data, data + dataCount);
  return packet;
}

std::uint32_t BusCommandPause(std::size_t packetLength) {
  return static_cast<std::uint32_t>(static_cast<double>(packetLength) * 0.08 + 1.5);
}

BusResult PollBusStatus(OsServices& os, const std::function<bool(std::uint8_t& status)>& readStatus) {
  for (int poll = 0; poll < kMaxStatusPolls; ++poll) {
    std::uint8_t status = 0;
    bool oneByte = readStatus(status);
    // The pause spaces the polls; after the one that finds the transaction done there is
    // nothing left to space, and the caller's next request may go at once.
    if (oneByte && (status == kStatusDone || status == kStatusDoneAlternative)) return kBusOk;
    os.Sleep(kStatusPollIntervalMs);
    if (!oneByte) return kBusCommandRefused;
    if (status == kStatusFailed) return kBusDeviceFailed;
  }
  return kBusStatusTimeout;
}

}  // namespace tessora

#include "tests/support/direct_board.h"

#include <cstring>

#include "devlib/bus_command.h"

namespace tessora {

bool DirectHidPort::SetFeatureReport(std::uint8_t* buffer, std::uint32_t length) {
  return face_.SetFeature(buffer, length);
}
bool DirectHidPort::GetFeatureReport(std::uint8_t* buffer, std::uint32_t length) {
  return face_.GetFeature(buffer, length);
}
bool DirectHidPort::WriteReport(std::uint8_t* buffer, std::uint32_t length) { return face_.WriteOutput(buffer, length); }
std::uint32_t DirectHidPort::ReadReport(std::uint8_t* buffer, std::uint32_t length) {
  std::uint32_t read = 0;
  return face_.ReadInput(buffer, length, &read) ? read : 0;
}

std::uint32_t DirectDispatch::DispatchMemoryWrite(std::uint32_t /*handle*/, std::uint16_t address, std::uint32_t count,
                                                  const std::uint8_t* data) {
  return board_.MemoryWrite(sim::Face::FilterDriver, address, std::span(data, count)) ? count : 0;
}

std::uint32_t DirectDispatch::DispatchMemoryRead(std::uint32_t /*handle*/, std::uint16_t address, std::uint32_t count,
                                                 std::uint8_t* destination) {
  std::optional<std::vector<std::uint8_t>> bytes = board_.MemoryRead(sim::Face::FilterDriver, address, count);
  if (!bytes) return 0;
  std::memcpy(destination, bytes->data(), bytes->size());
  return static_cast<std::uint32_t>(bytes->size());
}

std::uint32_t DirectDispatch::DispatchBusWrite(std::uint32_t /*handle*/, std::uint8_t busAddress,
                                               std::uint16_t subaddressCount, const std::uint8_t* subaddress,
                                               std::uint16_t count, const std::uint8_t* data) {
  sim::BusOutcome outcome = board_.BusTransfer(sim::Face::FilterDriver, static_cast<std::uint8_t>(busAddress << 1),
                                               std::span(subaddress, subaddressCount), std::span(data, count), 0);
  if (!outcome.answered) return kBusNotOpened;
  return outcome.acknowledged ? kBusOk : kBusDeviceFailed;
}

std::uint32_t DirectDispatch::DispatchBusRead(std::uint32_t /*handle*/, std::uint8_t busAddress,
                                              std::uint16_t subaddressCount, const std::uint8_t* subaddress,
                                              std::uint16_t count, std::uint8_t* destination) {
  sim::BusOutcome outcome =
      board_.BusTransfer(sim::Face::FilterDriver, static_cast<std::uint8_t>((busAddress << 1) | 1),
                         std::span(subaddress, subaddressCount), {}, count);
  if (!outcome.answered) return kBusNotOpened;
  if (!outcome.acknowledged) return kBusDeviceFailed;
  std::memcpy(destination, outcome.data.data(), outcome.data.size());
  return kBusOk;
}

}  // namespace tessora

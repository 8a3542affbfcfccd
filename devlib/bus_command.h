#pragma once
// The two-wire bus transaction as both driver transports carry it: the command packet,
// the status byte that tells when it has finished, and the result codes of a bus
// operation.
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/os_services.h"

namespace tessora {

enum BusResult : std::uint32_t {
  kBusOk = 0,
  kBusNotOpened = 1,        // the device did not open (or its WinUSB interface did not initialise)
  kBusCommandRefused = 2,   // command not accepted, or a status read without exactly one byte
  kBusLockTimeout = 3,      // the device's inter-process lock was not obtained
  kBusStatusTimeout = 4,    // no final status after the last status read
  kBusDeviceFailed = 5,     // the device reported status 0x01
  kBusDataIncomplete = 6,   // bus read only: the data did not arrive in full
};

constexpr int kMaxStatusPolls = 100;
constexpr std::uint32_t kStatusPollIntervalMs = 1;

// Address byte (bus address x 2, bit 0 set for a read), length high and low (the data
// count of a write, the read count of a read), the low byte of the subaddress count,
// the subaddress bytes, 0xFF 0xFF, then a write's data.
std::vector<std::uint8_t> BuildBusCommand(bool read, std::uint8_t busAddress, std::uint16_t subaddressCount,
                                          const std::uint8_t* subaddress, std::uint16_t length,
                                          const std::uint8_t* data);

// The FilterDriver's pause after a command: the packet takes about 0.08 ms a byte on
// the bus, plus 1.5 ms, truncated to whole milliseconds.
std::uint32_t BusCommandPause(std::size_t packetLength);

// Reads the status until the transaction finishes, at most 100 times, pausing 1 ms after
// every read but the one that reports the transaction done. readStatus returns false when
// a read did not bring exactly one byte. The result is kBusOk, kBusCommandRefused,
// kBusDeviceFailed or kBusStatusTimeout.
BusResult PollBusStatus(OsServices& os, const std::function<bool(std::uint8_t& status)>& readStatus);

}  // namespace tessora

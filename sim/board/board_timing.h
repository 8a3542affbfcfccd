#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/os_services.h"
#include "sim/board/board_config.h"

namespace tessora::sim {

// What one bus transaction moves: a read sends the subaddress, then the address again
// after a repeated start, and clocks in the data.
struct BusTransaction {
  bool read = false;
  std::size_t subaddressBytes = 0;
  std::size_t dataBytes = 0;
  bool acknowledged = true;  // a transaction nobody acknowledges ends after the address
};

// Microseconds the transaction holds the two-wire bus: 9 bit times a byte (8 bits and
// the acknowledge), one for each start and for the stop.
std::uint64_t BusMicroseconds(const BoardConfig& config, const BusTransaction& transaction);

// How long a board's requests take, on the clock it is given: each USB request takes
// the latency; a bus transaction starts once the request has arrived, the bus is free
// and the EEPROM has finished its last write cycle; a page write starts a new cycle.
// Without a clock every request answers at once. Calls wait on the clock, so on real
// time they take as long as they model.
class BoardTiming {
 public:
  explicit BoardTiming(const BoardConfig& config) : config_(config) {}

  void SetClock(OsServices& clock) { clock_ = &clock; }

  // The moment a request reaches the board. The next of the three calls below counts the
  // request's time from here rather than from when it is made, so that the simulation's
  // own bookkeeping in between (the part's file, the trace) takes none of the board's time,
  // as it takes none of a real board's.
  void Arrive();

  // A request that moves no bus data, or a driver face's status read or data fetch.
  void Request();
  // A HID request that needs the bus: it answers when the transaction is done.
  void RequestThroughBus(const BusTransaction& transaction);
  // A driver face's bus command: it answers once it has arrived, and the transaction
  // runs on; the status reads busy until it and, after a write, the write cycle are done.
  void StartBusCommand(const BusTransaction& transaction);
  // Whether a status read answered now finds the last command still running.
  bool CommandRunning();
  // When the last command's transaction (and a write's cycle) ends.
  std::uint64_t CommandDoneAt() const { return commandDoneAt_; }
  // The USB requests served so far, each of the three kinds above; counted with a clock or
  // without.
  std::uint64_t Requests() const { return requests_; }

 private:
  // Schedules the transaction as soon as it may start after `arrival`; its end.
  std::uint64_t Schedule(std::uint64_t arrival, const BusTransaction& transaction);
  // When the request being served arrived (Arrive), else now.
  std::uint64_t RequestStart();
  // Waits until the deadline. On real time a wait wakes late by the scheduler's delay,
  // which is the simulation's and not the program's: later waits make it up.
  void WaitUntil(std::uint64_t deadline);

  const BoardConfig& config_;
  OsServices* clock_ = nullptr;
  std::uint64_t busFreeAt_ = 0;
  std::uint64_t eepromReadyAt_ = 0;
  std::uint64_t commandDoneAt_ = 0;
  std::uint64_t overrunUs_ = 0;
  std::uint64_t requests_ = 0;
  std::optional<std::uint64_t> arrived_;
};

}  // namespace tessora::sim

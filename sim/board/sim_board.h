#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/os_services.h"
#include "sim/board/board_config.h"
#include "sim/board/board_timing.h"
#include "sim/board/cpu_meter.h"
#include "sim/board/eeprom.h"

namespace tessora::sim {

enum class RebootMode { Rom, Eeprom };

struct BusOutcome {
  bool answered = false;  // false: the board no longer answers at all
  bool acknowledged = false;
  std::vector<std::uint8_t> data;  // read transactions only
};

// The controller chip with its memory space, its two-wire bus and the boot EEPROM on
// it. Each face (HID, FilterDriver, WinUSB) turns its own requests into these logical
// requests; every request served is one trace line, and `fail_after` counts them.
class SimBoard {
 public:
  SimBoard(BoardConfig config, std::vector<std::uint8_t> eepromContents);

  const BoardConfig& Config() const { return config_; }
  BoardConfig& MutableConfig() { return config_; }
  Eeprom& EepromPart() { return eeprom_; }
  bool Present() const;
  void Unplug();
  // From now on the board's requests take their modelled time on this clock.
  void KeepTime(OsServices& clock);
  // From now on the CPU time the board's requests take is counted (CpuMicroseconds).
  void MeterCpu(OsServices& os);
  std::uint64_t CpuMicroseconds() const;
  // A request that moves only a report (a HID feature or input report fetch).
  void UsbRequest();
  // Plugs the board back in; `fail_after` no longer counts.
  void Replug();
  // Asked at every request and listing whether the board is plugged in, as a board that
  // comes and goes from outside the program is (a bench's `unplugged` file); while it says
  // no the board is gone, and once it says yes again the board is back.
  void SetPlugSensor(std::function<bool()> pluggedIn);

  void SetTraceSink(std::function<void(const std::string&)> sink);
  std::vector<std::string> TraceLines() const;
  std::vector<RebootMode> Reboots() const;
  // The USB requests the board has served: every report, I/O-control request and control
  // transfer, status reads and data fetches included, which the trace folds into its lines.
  std::uint64_t UsbRequests() const;

  // Controller memory space. Three bytes at 0xB001 ask the chip to restart.
  bool MemoryWrite(Face face, std::uint16_t address, std::span<const std::uint8_t> data);
  std::optional<std::vector<std::uint8_t>> MemoryRead(Face face, std::uint16_t address, std::size_t count);

  // One whole bus transaction: address byte (bit 0 = read), subaddress, then either the
  // data to write or the number of bytes to read.
  BusOutcome BusTransfer(Face face, std::uint8_t addressByte, std::span<const std::uint8_t> subaddress,
                         std::span<const std::uint8_t> writeData, std::size_t readCount);

  // The driver faces' view of the bus: a command packet starts a transaction whose
  // status byte reads busy for a while and then 0x80 (done) or 0x01 (failed); a read's
  // data waits to be fetched.
  bool BusCommand(Face face, std::span<const std::uint8_t> packet);
  std::optional<std::uint8_t> BusStatus();
  std::optional<std::vector<std::uint8_t>> BusData(std::size_t count);

  // True when the next I/O-control request is to fail with ERROR_CRC (`crc_errors`);
  // each call uses up one of them.
  bool TakeCrcError();

 private:
  bool Admit();
  bool Gone() const { return unplugged_ || (pluggedIn_ && !pluggedIn_()); }
  void Trace(const std::string& line);
  BusOutcome TransferLocked(Face face, std::uint8_t addressByte, std::span<const std::uint8_t> subaddress,
                            std::span<const std::uint8_t> writeData, std::size_t readCount);

  mutable std::mutex mutex_;
  BoardConfig config_;
  BoardTiming timing_;
  CpuMeter meter_;
  Eeprom eeprom_;
  std::array<std::uint8_t, 0x10000> memory_{};
  bool unplugged_ = false;
  std::function<bool()> pluggedIn_;
  std::uint64_t served_ = 0;
  std::vector<std::string> trace_;
  std::function<void(const std::string&)> traceSink_;
  std::vector<RebootMode> reboots_;

  struct PendingBus {
    bool active = false;
    int busyPollsLeft = 0;
    std::uint8_t finalStatus = 0x80;
    std::vector<std::uint8_t> data;
  } bus_;
};

std::string HexBytes(std::span<const std::uint8_t> bytes);

}  // namespace tessora::sim

#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessora::sim {

enum class Face { Hid, FilterDriver, WinUsb };

const char* FaceName(Face face);

// What a board presents and how it misbehaves; the `board.conf` keys map onto these.
struct BoardConfig {
  bool hid = true;
  bool filterDriver = true;
  bool winUsb = true;
  std::uint8_t eepromAddress = 0x51;
  // Bus writes with more data bytes than this end with status 0x01.
  std::uint32_t writeLimit = 64;
  // The board stops answering once this many logical requests were served.
  std::optional<std::uint64_t> failAfter{};
  // EEPROM address whose byte reads back with its bits inverted.
  std::optional<std::uint32_t> corruptReadback{};
  std::uint16_t featureReportLength = 128;
  std::uint16_t inputReportLength = 128;
  std::uint16_t outputReportLength = 128;
  // Status reads that still report a bus transaction as running; negative: it never ends.
  // Unset: 2 on a board that keeps no time, none beyond the modelled time on one that does.
  std::optional<int> busyPolls{};
  // The status that reports a transaction done: 0x80, or 0xFF as some firmware gives.
  std::uint8_t doneStatus = 0x80;
  // The next this many status reads go unanswered.
  std::uint32_t statusReadFails = 0;
  // The next this many FilterDriver I/O-control requests fail with ERROR_CRC.
  std::uint32_t crcErrors = 0;
  // A bus read's data fetch delivers this many bytes fewer than asked.
  std::uint32_t shortBusData = 0;
  // Bus reads of exactly this many bytes are not acknowledged (0: none), so a caller's
  // fallback to another block size can be watched.
  std::uint32_t refuseReadLength = 0;
  // Opening the board's FilterDriver or WinUSB interface fails.
  bool openFails = false;
  // WinUsb_Initialize fails on the board's WinUSB interface.
  bool winUsbInitFails = false;
  // The timing model. A board keeps time only on a clock it is given (SimBoard::KeepTime);
  // `keepsTime` says the board directory's configuration asked for that.
  bool keepsTime = false;
  // One USB request end to end: a high-speed control transfer's setup, data and status
  // stages are scheduled in 125 us microframes, so two microframes are the least a
  // request and its answer take.
  std::uint32_t latencyUs = 250;
  // The EEPROM's internal write cycle after a page write: 5 ms is the data-sheet maximum
  // of common two-wire EEPROMs.
  std::uint32_t writeCycleUs = 5000;
  // The two-wire clock: 400 kHz is fast mode.
  std::uint32_t busKhz = 400;
  // The EEPROM's write page; a write wraps inside it.
  std::uint32_t pageSize = 64;
  // The board directory appends the CPU time the board's requests took to `cpu.log` when
  // the program lets go of the board, so that a measurement can leave it out of the
  // program's (in the field the board is hardware).
  bool cpuLog = false;
  // The serial number every face reports; empty: the board has none. Unset: the board
  // directory gives one.
  std::optional<std::string> serial{};
  // Where the board is plugged in, "BUS-PORT" as Linux names it ("1-1.4"), the same on
  // every face. Unset: the board directory gives one.
  std::optional<std::string> port{};

  bool Presents(Face face) const;
  int BusyPolls() const { return busyPolls.value_or(keepsTime ? 0 : 2); }
};

// Reads `key = value` lines with `#` comments. Unknown keys and bad values are errors,
// so that a typo in a factory test set-up cannot silently test the wrong board.
bool ParseBoardConfig(std::string_view text, BoardConfig& config, std::string& error);

}  // namespace tessora::sim

#pragma once
#include <cstdio>
#include <memory>
#include <string>

#include "platform/unique_file.h"
#include "sim/board/sim_board.h"

namespace tessora::sim {

// A board kept in a directory: `eeprom.bin` (the EEPROM's raw bytes; its size is the
// part's size), optional `board.conf`, and `trace.log`, to which every request the
// board serves is appended as it happens. The EEPROM is read and written in the file
// itself, request by request, so that programs using the same directory at once share
// one board, and the board's serial number and place follow from the directory (unless
// `board.conf` gives them), so that they also share its device locks while other
// directories stay other boards. While the directory holds a file named `unplugged` the
// board is not plugged in.
class BoardDirectory {
 public:
  static constexpr std::size_t kDefaultEepromSize = 16384;
  static constexpr std::size_t kLargestEepromSize = 65536;

  // Null with a reason when the directory cannot be used. A missing `eeprom.bin` is
  // created as a blank 16384-byte part.
  static std::unique_ptr<BoardDirectory> Open(const std::string& directory, std::string& error);
  // With `cpu_log`, appends the CPU time the board took (SimBoard::MeterCpu) to `cpu.log`.
  ~BoardDirectory();
  BoardDirectory(const BoardDirectory&) = delete;
  BoardDirectory& operator=(const BoardDirectory&) = delete;

  SimBoard& Board() { return *board_; }
  // Empty when the board has no serial number.
  const std::string& Serial() const { return serial_; }
  // Where the board is plugged in, "BUS-PORT".
  const std::string& Port() const { return port_; }
  const std::string& Directory() const { return directory_; }

 private:
  BoardDirectory(std::string directory, std::string serial, std::string port, std::unique_ptr<SimBoard> board,
                 UniqueFile trace, UniqueFile cpuLog);

  std::string directory_;
  std::string serial_;
  std::string port_;
  std::unique_ptr<SimBoard> board_;
  UniqueFile trace_;
  UniqueFile cpuLog_;  // open only with `cpu_log`
};

}  // namespace tessora::sim

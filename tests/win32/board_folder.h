#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace tessora::testing {

// A simulated board's directory, as the programs find it through TESSORA_SIM, with the
// image files of a test beside it.
class BoardFolder {
 public:
  std::string Path() const { return board_.Path().string(); }
  void Configure(const std::string& boardConf) { WriteFile(board_.File("board.conf"), boardConf); }
  void SetEeprom(const std::vector<std::uint8_t>& bytes);
  // An image file giving these bytes from address 0; returns its path.
  std::string Image(const std::string& name, const std::vector<std::uint8_t>& bytes);
  std::string File(const std::string& name) const { return files_.File(name); }

  std::vector<std::uint8_t> Eeprom() const;
  std::vector<std::string> Trace() const;
  // How many trace lines contain the text.
  int TraceCount(const std::string& text) const;

 private:
  TempDir board_;
  TempDir files_;
};

}  // namespace tessora::testing

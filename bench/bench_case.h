#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "sim/board/board_config.h"

namespace tessora::bench {

// UpdateChanged: the command line's --update-changed on a board that holds the image already
// (shipped program only).
enum class Procedure { Update, ReadOut, Clear, UpdateChanged };
// The interfaces are the simulated board's faces, named as --interface takes them.
using Interface = sim::Face;
inline const char* InterfaceName(Interface interface) { return sim::FaceName(interface); }

const char* ProcedureName(Procedure procedure);

// One procedure over one interface on a timing board holding `image`.
struct BenchCase {
  Procedure procedure = Procedure::Update;
  Interface interface = Interface::Hid;
};

// A 16384-byte image whose header's two lengths add up to its size, so that an
// automatic read-out reads all of it; and the same bytes in the image text format.
std::vector<std::uint8_t> FullImage();
std::string ImageText(const std::vector<std::uint8_t>& image);

// The timing board's board.conf: every timing key at its default, stated, and the board's
// CPU time logged, so that it can be told apart from the program's.
std::string TimingBoardConf(const sim::BoardConfig& timing);

}  // namespace tessora::bench

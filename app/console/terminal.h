#pragma once

namespace tessora {

// Whether the stream is a terminal, and whether two streams end on the same terminal
// (so that a line written to both would be read twice).
bool IsTerminal(int fd);
bool SameTerminal(int first, int second);

}  // namespace tessora

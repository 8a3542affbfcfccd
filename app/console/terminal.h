#pragma once

namespace tessora {

// Whether the stream is a terminal.
bool IsTerminal(int fd);

}  // namespace tessora

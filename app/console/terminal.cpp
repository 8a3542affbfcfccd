#include "app/console/terminal.h"

#include <unistd.h>

namespace tessora {

bool IsTerminal(int fd) { return isatty(fd) == 1; }

}  // namespace tessora

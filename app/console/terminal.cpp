#include "app/console/terminal.h"

#include <sys/stat.h>
#include <unistd.h>

namespace tessora {

bool IsTerminal(int fd) { return isatty(fd) == 1; }

bool SameTerminal(int first, int second) {
  struct stat a {};
  struct stat b {};
  if (!IsTerminal(first) || !IsTerminal(second) || fstat(first, &a) != 0 || fstat(second, &b) != 0) return false;
  return a.st_rdev == b.st_rdev;
}

}  // namespace tessora

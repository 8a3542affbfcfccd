#include "app/console/board_line.h"

#include <cstdio>

namespace tessora {

std::string BoardLine(const std::string& name, const std::string& port) {
  if (port.empty()) return name;
  return name == port ? "port " + port : name + " (port " + port + ")";
}

void PrintBoardLine(const BoardOutcome& outcome) {
  std::printf("%s: %s%s%s%s\n", BoardLine(outcome.name, outcome.port).c_str(),
              outcome.succeeded ? "succeeded" : "FAILED", outcome.text.empty() ? "" : " (", outcome.text.c_str(),
              outcome.text.empty() ? "" : ")");
  std::fflush(stdout);
}

}  // namespace tessora

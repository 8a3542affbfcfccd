#include "app/console/board_line.h"

#include <cstdio>

#include "app/run_result.h"

namespace tessora {

// A board's name is its serial number, else its place, else its path: named as a run on
// one board names it.
std::string BoardLine(const std::string& name, const std::string& port) {
  return BoardLabel({name, name == port ? "" : name, port});
}

void PrintBoardLine(const BoardOutcome& outcome) {
  std::printf("%s: %s%s%s%s\n", BoardLine(outcome.name, outcome.port).c_str(),
              outcome.succeeded ? "succeeded" : "FAILED", outcome.text.empty() ? "" : " (", outcome.text.c_str(),
              outcome.text.empty() ? "" : ")");
  std::fflush(stdout);
}

}  // namespace tessora

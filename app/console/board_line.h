#pragma once
#include <string>

#include "app/board_runs.h"

namespace tessora {

// The board by its name and, where that is not already its place, where it is plugged in:
// "QV000001 (port 1-4)", "port 1-4".
std::string BoardLine(const std::string& name, const std::string& port);

// A board's result line on standard output: "NAME (port PORT): succeeded|FAILED (its last
// message)".
void PrintBoardLine(const BoardOutcome& outcome);

}  // namespace tessora

#pragma once
#include <functional>
#include <string>
#include <vector>

#include "app/device_access.h"
#include "app/shell_context.h"

namespace tessora {

struct BoardOutcome {
  std::size_t board = 0;  // its place among the boards
  std::string name;
  std::string port;       // where the board is plugged in; empty when unknown
  bool answered = false;  // false: the board did not answer the connection and was left alone
  bool mustAnswer = false;  // a controller by its interface, so silence is a failure
  bool succeeded = false;
  std::string text;       // the procedure's last message, on one line
};

// A procedure run on one board through that board's shell; true when it succeeded.
using BoardProcedure = std::function<bool(ShellContext& shell, const BoardAccess& board)>;
// Called as each board that answered or had to ends, from that board's thread, one call
// at a time.
using BoardFinished = std::function<void(const BoardOutcome& outcome)>;

// How far board number `board` has come (bytes done of the total), from its thread.
using BoardProgress = std::function<void(std::size_t board, std::uint32_t done, std::uint32_t total)>;

// How far one board has come, from its thread.
using OneBoardProgress = std::function<void(std::uint32_t done, std::uint32_t total)>;

// The procedure on one board of several, on the calling thread, through that board's own
// shell, settings, device subsystems and connection state. A board that did not answer and
// did not have to is left alone (answered false, not run).
BoardOutcome RunOneBoard(BoardAccess& board, OsServices& os, SettingsStore& store, const BoardProcedure& procedure,
                         OneBoardProgress progress = {});

// Runs the procedure on every board at once, each on its own thread with its own shell,
// settings, device subsystems and connection state; outcomes in the boards' order.
std::vector<BoardOutcome> RunOnEveryBoard(std::vector<BoardAccess>& boards, OsServices& os, SettingsStore& store,
                                          const BoardProcedure& procedure, const BoardFinished& finished,
                                          const BoardProgress& progress = {});

// FILE with "-<board>" before its extension (out.hex, QV000001: out-QV000001.hex); the
// board's name keeps only letters, digits, '-', '_' and '.'.
std::string BoardFileName(const std::string& file, const std::string& boardName);

}  // namespace tessora

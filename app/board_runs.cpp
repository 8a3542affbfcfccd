#include "app/board_runs.h"

#include <cctype>
#include <mutex>
#include <thread>

#include "app/quiet_ui.h"
#include "engine/connection.h"

namespace tessora {

BoardOutcome RunOneBoard(BoardAccess& board, OsServices& os, SettingsStore& store, const BoardProcedure& procedure,
                         OneBoardProgress progress) {
  BoardOutcome outcome;
  outcome.name = board.name;
  outcome.port = board.port;
  outcome.mustAnswer = board.mustAnswer;
  QuietUi ui(std::move(progress));
  ShellContext shell(*board.settings, board.devices->Engine(), ui, os, store);
  board.devices->AttachShell(shell);
  // Every interface of the selected class is listed; only the controllers answer.
  outcome.answered = ConnectDevice(shell.engine);
  // A controller that does not answer fails as a run on it alone would: message, exit
  // status and result object included.
  if (!outcome.answered && !outcome.mustAnswer) return outcome;
  outcome.succeeded = procedure(shell, board);
  outcome.text = ui.OneLineMessage();
  return outcome;
}

std::vector<BoardOutcome> RunOnEveryBoard(std::vector<BoardAccess>& boards, OsServices& os, SettingsStore& store,
                                          const BoardProcedure& procedure, const BoardFinished& finished,
                                          const BoardProgress& progress) {
  std::vector<BoardOutcome> outcomes(boards.size());
  std::mutex reporting;
  std::vector<std::thread> threads;
  threads.reserve(boards.size());
  for (std::size_t i = 0; i < boards.size(); ++i) {
    threads.emplace_back([&, i] {
      QuietUi::ProgressReport report;
      if (progress) report = [&progress, i](std::uint32_t done, std::uint32_t total) { progress(i, done, total); };
      BoardOutcome outcome = RunOneBoard(boards[i], os, store, procedure, std::move(report));
      outcome.board = i;
      std::lock_guard lock(reporting);
      if (outcome.answered || outcome.mustAnswer) finished(outcome);
      outcomes[i] = std::move(outcome);
    });
  }
  for (std::thread& thread : threads) thread.join();
  return outcomes;
}

std::string BoardFileName(const std::string& file, const std::string& boardName) {
  std::string name;
  for (char c : boardName)
    name += std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.' ? c : '_';
  std::size_t base = file.find_last_of("/\\");
  base = base == std::string::npos ? 0 : base + 1;
  std::size_t dot = file.rfind('.');
  if (dot == std::string::npos || dot <= base) return file + "-" + name;
  return file.substr(0, dot) + "-" + name + file.substr(dot);
}

}  // namespace tessora

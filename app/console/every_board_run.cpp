#include "app/console/every_board_run.h"

#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

#include "app/access_problems.h"
#include "app/board_runs.h"
#include "app/console/board_line.h"
#include "app/console/board_progress_lines.h"
#include "app/console/console_action.h"
#include "app/console/exit_status.h"
#include "app/procedures.h"
#include "app/stored_settings.h"

namespace tessora {

int RunOnAllBoards(ShellContext& shell, DeviceAccess& devices, const ConsoleRequest& request,
                   const StartCommand& command, ResultSink& results, bool showProgress,
                   std::set<std::string>& accessProblems) {
  std::vector<BoardAccess> boards = devices.Boards(shell.settings);
  std::unique_ptr<BoardProgressLines> progress;
  if (showProgress) {
    std::vector<std::string> names;
    for (const BoardAccess& board : boards) names.push_back(board.name);
    progress = std::make_unique<BoardProgressLines>(stderr, names);
  }
  int counted = 0;  // boards that answered, and controllers that had to
  int succeeded = 0;
  std::mutex statusesHeld;
  std::vector<int> statuses;
  RunOnEveryBoard(
      boards, shell.os, shell.store,
      [&](ShellContext& board, const BoardAccess& access) {
        board.engine.stop = shell.engine.stop;
        ConsoleRequest own = request;
        if (own.action == ConsoleAction::ReadOut) own.readOutFile = BoardFileName(request.readOutFile, access.name);
        int status = RunAction(board, own, command, results, access.path);
        std::lock_guard hold(statusesHeld);
        statuses.push_back(status);
        return status == kExitSucceeded;
      },
      [&](const BoardOutcome& outcome) {
        ++counted;
        succeeded += outcome.succeeded ? 1 : 0;
        if (progress) progress->Ended(outcome.board, [&] { PrintBoardLine(outcome); });
        else PrintBoardLine(outcome);
      },
      progress ? BoardProgress([&](std::size_t board, std::uint32_t done, std::uint32_t total) {
        progress->Update(board, done, total);
      })
               : BoardProgress{});
  progress.reset();
  for (BoardAccess& board : boards)
    for (std::string& problem : AccessProblems(board.devices->Stack())) accessProblems.insert(std::move(problem));
  if (counted == 0) {
    std::string text = std::string("no controller answers on the ") + InterfaceName(shell.settings) + " interface";
    std::fprintf(stderr, "tessora: %s\n", text.c_str());
    WriteRunWithoutBoard(results, request, kUpdateNoDevice, text, kExitNoDevice, &shell.settings);
    return kExitNoDevice;
  }
  std::printf("%d of %d boards succeeded\n", succeeded, counted);
  return CombinedExitStatus(statuses);
}

}  // namespace tessora

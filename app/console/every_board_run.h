#pragma once
#include <set>
#include <string>

#include "app/command_line.h"
#include "app/console/console_options.h"
#include "app/console/result_sink.h"
#include "app/device_access.h"
#include "app/shell_context.h"

namespace tessora {

// --all: the command on every controller at once, a read-out into a file per board, one
// line per board as it ends and a summary; the exit status. Each board's result goes to
// results as it ends; with none to run on, one result says so. What the boards' own
// stacks were refused joins accessProblems.
int RunOnAllBoards(ShellContext& shell, DeviceAccess& devices, const ConsoleRequest& request,
                   const StartCommand& command, ResultSink& results, bool showProgress,
                   std::set<std::string>& accessProblems);

}  // namespace tessora

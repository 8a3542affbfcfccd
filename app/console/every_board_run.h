#pragma once
#include <set>
#include <string>

#include "app/command_line.h"
#include "app/console/console_options.h"
#include "app/device_access.h"
#include "app/shell_context.h"

namespace tessora {

// --all: the command on every controller at once, a read-out into a file per board, one
// line per board as it ends and a summary; the exit status. With --json each board's
// result object goes to jsonFd as it ends. What the boards' own stacks were refused joins
// accessProblems.
int RunOnAllBoards(ShellContext& shell, DeviceAccess& devices, const ConsoleRequest& request,
                   const StartCommand& command, int jsonFd, bool showProgress,
                   std::set<std::string>& accessProblems);

}  // namespace tessora

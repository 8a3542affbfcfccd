#pragma once
#include "app/command_line.h"
#include "app/console/console_options.h"
#include "app/console/result_sink.h"
#include "app/device_access.h"
#include "app/shell_context.h"
#include "engine/stop_request.h"

namespace tessora {

// --station: waits for controllers and runs the update on each as it arrives, each board
// as one board of --all (its own device stack, settings and lock), until `stop` is asked:
// the first time no new board is taken and the running ones finish, the second time they
// stop at their next safe point. A board is updated once while it stays plugged in; one
// that is unplugged and plugged in again is a new board. A result line per board, on a
// terminal live lines and the totals, then a summary; the exit status: 0 when every board
// passed, 128 + the signal when the second one stopped boards, else 1.
int RunStation(ShellContext& shell, DeviceAccess& devices, const ConsoleRequest& request,
               const StartCommand& command, ResultSink& results, bool showProgress, const StopRequest& stop);

}  // namespace tessora

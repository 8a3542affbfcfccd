#pragma once
#include <string>

#include "app/command_line.h"
#include "app/console/console_options.h"
#include "app/console/result_sink.h"
#include "app/shell_context.h"

namespace tessora {

// The image file the command reads or writes; empty when it has none.
std::string ImageFileOf(const ConsoleRequest& request, const StartCommand& command);

// The one asked for, else the text format for a file written and the one the file shows
// for a file read.
ImageFormat FormatOfFile(const ConsoleRequest& request, const std::string& fileName);

// "text image", "Intel HEX", "raw binary": the format as the run names it.
const char* FormatTitle(ImageFormat format);

// The command's name in a result (update, verify, read-out, ...); empty when the request
// runs no procedure.
std::string RequestCommandName(const ConsoleRequest& request);

// The result of a run that reached no board: the command line refused before anything
// else (no outcome), or no device to run on; settings, when known, name the interface.
void WriteRunWithoutBoard(ResultSink& results, const ConsoleRequest& request, std::optional<int> outcome,
                          const std::string& text, int exitStatus, const Settings* settings = nullptr);

// The request's procedure on the board the shell reaches, its result written to results;
// the exit status. request.format: the format Run chose for the command's file. boardPath:
// a board of --all, which the result names when the device did not answer; a run on one
// board (boardPath empty) ends with a line naming the board.
int RunAction(ShellContext& shell, const ConsoleRequest& request, const StartCommand& command, ResultSink& results,
              const std::string& boardPath = {});

// Before any device is looked for: whether the image the update or verify reads can be
// read. When it cannot, says why, with its result (outcome -3) written to results.
bool ImageIsReadable(ShellContext& shell, const ConsoleRequest& request, const StartCommand& command,
                     ResultSink& results);

}  // namespace tessora

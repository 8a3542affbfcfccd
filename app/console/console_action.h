#pragma once
#include <string>

#include "app/command_line.h"
#include "app/console/console_options.h"
#include "app/shell_context.h"

namespace tessora {

// The image file the command reads or writes; empty when it has none.
std::string ImageFileOf(const ConsoleRequest& request, const StartCommand& command);

// The one asked for, else the text format for a file written and the one the file shows
// for a file read.
ImageFormat FormatOfFile(const ConsoleRequest& request, const std::string& fileName);

// "text image", "Intel HEX", "raw binary": the format as the run names it.
const char* FormatTitle(ImageFormat format);

// The request's procedure on the board the shell reaches, with its JSON result written to
// jsonFd when that is not -1; the exit status. request.format: the format Run chose for
// the command's file. boardPath: the device a result object names when the device did not
// answer (--all).
int RunAction(ShellContext& shell, const ConsoleRequest& request, const StartCommand& command, int jsonFd,
              const std::string& boardPath = {});

// Before any device is looked for: whether the image the update or verify reads can be
// read. When it cannot, says why, with the JSON result (outcome -3) written to jsonFd
// when that is not -1.
bool ImageIsReadable(ShellContext& shell, const ConsoleRequest& request, const StartCommand& command, int jsonFd);

}  // namespace tessora

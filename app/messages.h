#pragma once
#include <cstdint>

#include "app/shell_context.h"

namespace tessora {

// The one way a message is shown: a message box, or in silent mode the debug output.
void ShowMessage(ShellContext& shell, bool ownedByMainWindow, const char* text, const char* caption,
                 std::uint32_t style);

// A procedure's outcome: the string into the window text, shown, and written to
// standard output.
void ReportMessage(ShellContext& shell, int stringId, const char* caption, std::uint32_t style);
// The same for a text already composed in the window text.
void ReportStatusText(ShellContext& shell, const char* caption, std::uint32_t style);

// A progress line: into the window text, to standard output, and painted at once.
void ShowProgressText(ShellContext& shell, const char* text);

// Sets the window text from a string id, without showing it anywhere.
void SetStatusText(ShellContext& shell, int stringId);

}  // namespace tessora

#pragma once
#include "app/shell_context.h"

namespace tessora {

// The main window's text at start and after the Options dialog's OK: the chip family
// and the device interface the settings select.
void BuildStartText(ShellContext& shell);

}  // namespace tessora

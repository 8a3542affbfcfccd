#pragma once
#include "engine/settings.h"
#include "platform/device_stack.h"

namespace tessora {

// What the console program does differently on Linux and on Windows.

// --udev-rule: the rule for the controllers on the real stack (null when the simulated
// board was chosen); the exit status.
int PrintUdevRule(DeviceStack* realStack);

// Lets the terminal on standard error take the cursor and erase sequences the progress
// lines are drawn with; false where it cannot.
bool EnableTerminalSequences();

// After a failed run on the real device stack: what the user can do about the interface.
void ExplainFailure(const Settings& settings);

}  // namespace tessora

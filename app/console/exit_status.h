#pragma once
#include <vector>

namespace tessora {

// The console program's exit statuses, by cause; the same on every system. A signal that
// stopped the run gives 128 + its number (130, 143) instead.
constexpr int kExitSucceeded = 0;
constexpr int kExitFailed = 1;       // the procedure failed (no EEPROM, programming, reading)
constexpr int kExitUsage = 2;        // the command line
constexpr int kExitNoDevice = 3;     // no device answered, or another Tessora is using it
constexpr int kExitImageFile = 4;    // the image file cannot be read (or, read out, written)
constexpr int kExitDiffers = 5;      // --verify found differences

// The exit status for a procedure's outcome code (the silent update's exit codes, -6
// differences, -7 stopped).
int ExitStatusOfOutcome(int outcome);

// Several boards' statuses as one: the one they all share, else kExitFailed.
int CombinedExitStatus(const std::vector<int>& statuses);

}  // namespace tessora

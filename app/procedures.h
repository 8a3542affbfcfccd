#pragma once
#include "app/procedure_lock.h"
#include "app/shell_context.h"

namespace tessora {

// Outcome codes of an update, kept in ShellContext::exitCode.
constexpr int kUpdateSucceeded = 1;
constexpr int kUpdateNoDevice = -1;
constexpr int kUpdateNoEeprom = -2;
constexpr int kUpdateUnreadableImage = -3;
constexpr int kUpdateTooLargeForOneByte = -4;
constexpr int kUpdateProgrammingFailed = -5;
// The console's: a stop request (a signal) ended the procedure at a safe point.
constexpr int kUpdateStopped = -7;
// Outcomes of the console's comparison: the EEPROM differs from the image.
constexpr int kVerifyDiffers = -6;

// The three procedures the program is run for. Each returns 1 on success, 0 otherwise.
// A null file name asks the user for one.
int UpdateFirmware(ShellContext& shell, const char* fileName);
int ReadOutFirmware(ShellContext& shell, const char* fileName);
int ClearEeprom(ShellContext& shell);
// Reads the EEPROM and compares it with the image file, without writing.
int VerifyFirmware(ShellContext& shell, const char* fileName);

// Connects to the device, takes Tessora's lock on it for the procedure and checks that
// an EEPROM answers, reporting what is missing. 0 when all is well, else the update's
// outcome code for what failed: a device that another Tessora is using, or whose
// request lock cannot be had, counts as a device that could not be opened.
int ConnectAndProbe(ShellContext& shell, ProcedureLock& lock);

// Takes the given file name, or asks for one; false when there is none.
bool ChooseFile(ShellContext& shell, const char* fileName, FileQuestion question);

// "Could not read Firmware Image." with the file name, as an error message.
void ReportUnreadableImage(ShellContext& shell, const char* fileName);

// One attempt of a paged operation at a page size; true when it succeeded.
using PageAttempt = bool (*)(ShellContext& shell, int page);

// Runs the attempt from the connection's page size down, halving it after each failure
// while it stays above 4. Before each attempt the progress range becomes total / page
// and the window shows "<text>\npagesize <page>". The page size ends at 0 on success.
// The tally keeps the last attempt's page size and page count.
bool TryPageSizes(ShellContext& shell, int textId, int total, PageAttempt attempt);

// The reboot menu commands: 1 = from the EEPROM, 2 = forced ROM boot. True when a device
// was found and took the request. A board that went away before the request arrived is
// named only where `refusal` asks for it: the window program says nothing then.
enum class RefusalReport { Silent, Message };
bool RebootCommand(ShellContext& shell, int mode, RefusalReport refusal = RefusalReport::Silent);

}  // namespace tessora

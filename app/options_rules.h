#pragma once
#include <string>

#include "app/shell_context.h"

namespace tessora {

// Control ids of the Options dialog.
enum OptionsControl {
  kOptionsOk = 1,
  kOptionsCancel = 2,
  kAddressBox = 1008,
  kReadSizeBox = 1009,
  kOneByte = 1018,
  kTwoByte = 1019,
  kSizeAuto = 1020,
  kSizeManual = 1021,
  kInterfaceHid = 1023,
  kHidFeature = 1024,
  kHidReadWrite = 1025,
  kHidFunctionLabel = 1026,
  kInterfaceFilterDriver = 1028,
  kInterfaceWinUsb = 1029,
};

// What the Options dialog shows: the two boxes' texts and the selected button of each
// radio group (0 when none is selected).
struct OptionsState {
  std::string addressText;
  std::string readSizeText;
  int subaddressing = 0;  // kOneByte or kTwoByte
  int readSizeMode = 0;   // kSizeAuto or kSizeManual
  int deviceInterface = 0;  // kInterfaceHid, kInterfaceFilterDriver or kInterfaceWinUsb
  bool readSizeReadOnly = false;
  bool hidFunctionHidden = false;
  bool defaultFocus = false;  // initialisation ran to its end
};

// The dialog's initialisation from the settings. A stored subaddressing or size mode it
// does not know ends the initialisation early, as the dialog does.
OptionsState InitOptions(const Settings& settings);

// Keeps the size box read-only exactly while "auto" is selected.
void SyncReadSizeBox(OptionsState& state);

enum class OptionsOutcome { Saved, KeptOpen, Stopped };

// OK: takes the boxes and buttons into the settings, rebuilds the window text and saves,
// unless the read size is above the largest EEPROM, which is then set to that size
// (shown in the box) with message 123 and the dialog stays open.
OptionsOutcome ApplyOptionsOk(ShellContext& shell, OptionsState& state);

}  // namespace tessora

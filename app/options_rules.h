#pragma once
#include <string>

#include "app/shell_context.h"
#include "resources/resource.h"

namespace tessora {

// The Options dialog's radio buttons, by the ids its resource gives them.
enum OptionsControl {
  kOneByte = IDC_SUB_1BYTE,
  kTwoByte = IDC_SUB_2BYTE,
  kSizeAuto = IDC_SIZE_AUTO,
  kSizeManual = IDC_SIZE_MANUAL,
  kInterfaceHid = IDC_IFACE_HID,
  kInterfaceFilterDriver = IDC_IFACE_FILTERDRIVER,
  kInterfaceWinUsb = IDC_IFACE_WINUSB,
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

// The address box as OK reads it: its first two characters as a hexadecimal number.
// False when they hold none.
bool ReadAddressText(const std::string& text, unsigned int& address);

enum class OptionsOutcome { Saved, KeptOpen, Stopped };

// OK: takes the boxes and buttons into the settings, rebuilds the window text and saves,
// unless the read size is above the largest EEPROM, which is then set to that size
// (shown in the box) with message 123 and the dialog stays open. An address beyond 7
// bits changes nothing: the box shows the current address again, with message 129,
// and the dialog stays open.
OptionsOutcome ApplyOptionsOk(ShellContext& shell, OptionsState& state);

}  // namespace tessora

#include "app/options_rules.h"
#include "app/win32/win32_program.h"
#include "resources/resource.h"

namespace tessora {

namespace {

const int kGroups[3][3] = {{IDC_SUB_1BYTE, IDC_SUB_2BYTE, 0},
                           {IDC_SIZE_AUTO, IDC_SIZE_MANUAL, 0},
                           {IDC_IFACE_HID, IDC_IFACE_FILTERDRIVER, IDC_IFACE_WINUSB}};

std::string BoxText(HWND dialog, int id) {
  char text[64] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

// The selected button of a radio group, 0 when none is.
int SelectedIn(HWND dialog, const int (&group)[3]) {
  for (int id : group)
    if (id != 0 && IsDlgButtonChecked(dialog, id) == BST_CHECKED) return id;
  return 0;
}

OptionsState ReadDialog(HWND dialog) {
  OptionsState state;
  state.addressText = BoxText(dialog, IDC_EEPROM_ADDRESS);
  state.readSizeText = BoxText(dialog, IDC_READ_SIZE);
  state.subaddressing = SelectedIn(dialog, kGroups[0]);
  state.readSizeMode = SelectedIn(dialog, kGroups[1]);
  state.deviceInterface = SelectedIn(dialog, kGroups[2]);
  return state;
}

void ShowState(HWND dialog, const OptionsState& state) {
  SetDlgItemTextA(dialog, IDC_EEPROM_ADDRESS, state.addressText.c_str());
  SetDlgItemTextA(dialog, IDC_READ_SIZE, state.readSizeText.c_str());
  if (state.subaddressing != 0) CheckDlgButton(dialog, state.subaddressing, BST_CHECKED);
  if (state.readSizeMode == 0) return;
  CheckDlgButton(dialog, state.readSizeMode, BST_CHECKED);
  SendDlgItemMessageA(dialog, IDC_READ_SIZE, EM_SETREADONLY, state.readSizeReadOnly ? TRUE : FALSE, 0);
  for (int id : {IDC_HID_FUNCTION_LABEL, IDC_HID_FEATURE, IDC_HID_RW}) ShowWindow(GetDlgItem(dialog, id), SW_HIDE);
  for (int id = IDC_IFACE_HID; id <= IDC_IFACE_WINUSB; ++id)
    CheckDlgButton(dialog, id, id == state.deviceInterface ? BST_CHECKED : BST_UNCHECKED);
}

// False while no read-size mode is selected.
bool KeepSizeBoxInStep(HWND dialog) {
  OptionsState state;
  state.readSizeMode = SelectedIn(dialog, kGroups[1]);
  if (state.readSizeMode == 0) return false;
  SyncReadSizeBox(state);
  SendDlgItemMessageA(dialog, IDC_READ_SIZE, EM_SETREADONLY, state.readSizeReadOnly ? TRUE : FALSE, 0);
  return true;
}

}  // namespace

INT_PTR CALLBACK AboutDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(dialog, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK OptionsDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* program = reinterpret_cast<Win32Program*>(lParam);
    SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    OptionsState state = InitOptions(program->settings);
    ShowState(dialog, state);
    // Without a default focus the dialog keeps the one the system gave it.
    return state.defaultFocus ? TRUE : FALSE;
  }
  if (message != WM_COMMAND) return FALSE;

  auto* program = reinterpret_cast<Win32Program*>(GetWindowLongPtrA(dialog, DWLP_USER));
  // Cancel always closes the dialog, even while a hand-edited size mode leaves both
  // size buttons clear; everything else waits until one of them is chosen.
  bool modeChosen = KeepSizeBoxInStep(dialog);
  if (LOWORD(wParam) == IDCANCEL) {
    EndDialog(dialog, IDCANCEL);
    return TRUE;
  }
  if (!modeChosen || LOWORD(wParam) != IDOK || program == nullptr) return FALSE;
  OptionsState state = ReadDialog(dialog);
  OptionsOutcome outcome = ApplyOptionsOk(*program->shell, state);
  if (outcome == OptionsOutcome::KeptOpen) {
    SetDlgItemTextA(dialog, IDC_EEPROM_ADDRESS, state.addressText.c_str());
    SetDlgItemTextA(dialog, IDC_READ_SIZE, state.readSizeText.c_str());
  }
  if (outcome == OptionsOutcome::Saved) EndDialog(dialog, IDOK);
  return TRUE;
}

}  // namespace tessora

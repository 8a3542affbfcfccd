#include "app/options_rules.h"

#include <cstdio>

#include "app/messages.h"
#include "app/stored_settings.h"
#include "app/start_text.h"
#include "app/strings.h"

namespace tessora {

namespace {

// Only the first characters of the size box count, read as "%d" over seven.
bool ScanDecimalPrefix(const std::string& text, std::size_t count, int& value) {
  return std::sscanf(text.substr(0, count).c_str(), "%d", &value) == 1;
}

std::string AddressText(std::uint8_t address) {
  char text[8];
  std::snprintf(text, sizeof text, "%x", address);
  return text;
}

}  // namespace

bool ReadAddressText(const std::string& text, unsigned int& address) {
  return std::sscanf(text.substr(0, 2).c_str(), "%x", &address) == 1;
}

OptionsState InitOptions(const Settings& settings) {
  OptionsState state;
  state.addressText = AddressText(settings.eepromAddress);
  state.readSizeText = std::to_string(settings.readSize);

  if (settings.subaddressing == 2) state.subaddressing = kTwoByte;
  else if (settings.subaddressing == 1) state.subaddressing = kOneByte;
  else return state;
  if (settings.readSizeAuto == 1) state.readSizeMode = kSizeAuto;
  else if (settings.readSizeAuto == 0) state.readSizeMode = kSizeManual;
  else return state;

  state.readSizeReadOnly = settings.readSizeAuto == 1;
  state.hidFunctionHidden = true;
  if (settings.useHid != 0) state.deviceInterface = kInterfaceHid;
  else if (settings.useWinUsb != 0) state.deviceInterface = kInterfaceWinUsb;
  else state.deviceInterface = kInterfaceFilterDriver;
  state.defaultFocus = true;
  return state;
}

void SyncReadSizeBox(OptionsState& state) {
  if (state.readSizeMode == kSizeAuto) state.readSizeReadOnly = true;
  else if (state.readSizeMode == kSizeManual) state.readSizeReadOnly = false;
}

OptionsOutcome ApplyOptionsOk(ShellContext& shell, OptionsState& state) {
  Settings& settings = shell.settings;
  unsigned int address = 0;
  if (ReadAddressText(state.addressText, address)) {
    if (address > kLargestBusAddress) {
      ShowMessage(shell, false, LoadStringText(kStrAddressRange), nullptr, kStyleError);
      state.addressText = AddressText(settings.eepromAddress);
      return OptionsOutcome::KeptOpen;
    }
    settings.eepromAddress = static_cast<std::uint8_t>(address);
  }
  int size = 0;
  if (ScanDecimalPrefix(state.readSizeText, 7, size)) settings.readSize = static_cast<std::uint16_t>(size);

  if (state.subaddressing == kOneByte) settings.subaddressing = 1;
  else if (state.subaddressing == kTwoByte) settings.subaddressing = 2;
  else return OptionsOutcome::Stopped;

  if (state.deviceInterface == kInterfaceHid) {
    settings.useHid = 1;
  } else {
    settings.useHid = 0;
    if (state.deviceInterface == kInterfaceFilterDriver) settings.useWinUsb = 0;
    else if (state.deviceInterface == kInterfaceWinUsb) settings.useWinUsb = 1;
  }
  BuildStartText(shell);
  shell.ui.StandardOutput(shell.statusText.data());

  if (state.readSizeMode == kSizeAuto) settings.readSizeAuto = 1;
  else if (state.readSizeMode == kSizeManual) settings.readSizeAuto = 0;
  else return OptionsOutcome::Stopped;

  if (settings.readSize > MaxEepromSize) {
    char message[kStatusTextSize];
    std::snprintf(message, sizeof message, "%s", LoadStringText(kStrMaximumSize));
    ShowMessage(shell, false, message, nullptr, kStyleError);
    settings.readSize = static_cast<std::uint16_t>(MaxEepromSize);
    state.readSizeText = std::to_string(MaxEepromSize);
    return OptionsOutcome::KeptOpen;
  }
  SaveSettings(settings, shell.store);
  return OptionsOutcome::Saved;
}

}  // namespace tessora

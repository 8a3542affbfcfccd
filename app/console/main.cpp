// tessora: the Linux console program. Leading long options, then Tessora's own command
// line ("-s FILE" or "FILE").
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/console/console_options.h"
#include "app/console/console_ui.h"
#include "app/device_listing.h"
#include "app/options_rules.h"
#include "app/procedures.h"
#include "app/program_devices.h"
#include "app/settings.h"
#include "app/start_up.h"
#include "platform/linux/linux_device_stack.h"
#include "platform/linux/udev_rule.h"
#include "platform/native_os_services.h"

namespace tessora {

namespace {

constexpr int kUsageError = 2;

// The settings options go through the Options dialog's OK rules, so the command line
// can set nothing the dialog would refuse.
bool ApplySettingsOptions(ShellContext& shell, const ConsoleRequest& request) {
  OptionsState state = InitOptions(shell.settings);
  if (request.address) state.addressText = *request.address;
  if (request.subaddressing) state.subaddressing = *request.subaddressing == 1 ? kOneByte : kTwoByte;
  if (request.readSize) {
    state.readSizeMode = *request.readSize == "auto" ? kSizeAuto : kSizeManual;
    if (*request.readSize != "auto") state.readSizeText = *request.readSize;
  }
  if (request.deviceInterface) {
    const std::string& name = *request.deviceInterface;
    state.deviceInterface = name == "hid" ? kInterfaceHid : name == "winusb" ? kInterfaceWinUsb : kInterfaceFilterDriver;
  }
  switch (ApplyOptionsOk(shell, state)) {
    case OptionsOutcome::Saved:
      return true;
    case OptionsOutcome::KeptOpen:
      std::fprintf(stderr, "tessora: settings not saved\n");
      return false;
    case OptionsOutcome::Stopped:
      std::fprintf(stderr, "tessora: the stored settings are not valid; give --subaddressing and --read-size\n");
      return false;
  }
  return false;
}

// After a failed run on real devices: what the user can do about it.
void ExplainFailure(const Settings& settings, const linuxstack::LinuxDeviceStack& stack) {
  for (const std::string& problem : stack.AccessProblems()) std::fprintf(stderr, "tessora: %s\n", problem.c_str());
  if (!settings.useHid && !settings.useWinUsb)
    std::fprintf(stderr,
                 "tessora: the FilterDriver interface exists only on Windows; on Linux use --interface hid or "
                 "--interface winusb\n");
}

int PrintUdevRule(linuxstack::LinuxDeviceStack* stack) {
  if (stack == nullptr) {
    std::fprintf(stderr, "tessora: --udev-rule is for real devices; unset TESSORA_SIM\n");
    return kUsageError;
  }
  std::string rule = linuxstack::UdevRule(stack->Controllers());
  if (rule.empty()) {
    std::fprintf(stderr, "tessora: no controller found (plug it in; a WinUSB controller whose node this user "
                         "cannot open is found by root only)\n");
    return 1;
  }
  std::printf("%s", rule.c_str());
  return 0;
}

int RunAction(ShellContext& shell, const ConsoleRequest& request, const StartCommand& command) {
  switch (request.action) {
    case ConsoleAction::ReadOut:
      return ReadOutFirmware(shell, request.readOutFile.c_str()) == 1 ? 0 : 1;
    case ConsoleAction::Clear:
      return ClearEeprom(shell) == 1 ? 0 : 1;
    case ConsoleAction::Reboot:
      return RebootCommand(shell, request.rebootMode) ? 0 : 1;
    default:
      break;
  }
  if (command.fileName[0] != '\0') {
    RunCommandLineUpdate(shell, command.fileName);
    return RunExitStatus(shell);
  }
  if (!request.ChangesSettings() && request.commandLine.empty()) {
    std::printf("%s\n\n%s", shell.statusText.data(), ConsoleUsage().c_str());
  }
  return 0;
}

int Run(const std::vector<std::string>& arguments) {
  ConsoleRequest request;
  std::string error;
  if (!ParseConsoleArguments(arguments, request, error)) {
    std::fprintf(stderr, "tessora: %s\nTry 'tessora --help'.\n", error.c_str());
    return kUsageError;
  }
  if (request.action == ConsoleAction::Help) return std::printf("%s", ConsoleUsage().c_str()), 0;
  if (request.action == ConsoleAction::Version) return std::printf("Tessora 1.2.1\n"), 0;

  std::unique_ptr<OsServices> os = CreateNativeOsServices();
  std::unique_ptr<SettingsStore> store = CreateNativeSettingsStore();
  Settings settings;
  std::unique_ptr<DeviceAccess> devices =
      OpenProgramDevices(settings, *os, std::make_unique<linuxstack::LinuxDeviceStack>(*os), error);
  if (!devices) {
    std::fprintf(stderr, "tessora: %s\n", error.c_str());
    return kUsageError;
  }
  // Null when TESSORA_SIM chose the simulated board.
  auto* realStack = dynamic_cast<linuxstack::LinuxDeviceStack*>(&devices->Stack());
  if (request.action == ConsoleAction::UdevRule) return PrintUdevRule(realStack);
  if (request.action == ConsoleAction::List) {
    for (const std::string& line : ListDeviceInterfaces(devices->Stack())) std::printf("%s\n", line.c_str());
    return 0;
  }
  bool silent = false;
  ConsoleUi ui(silent);
  ShellContext shell(settings, devices->Engine(), ui, *os, *store);
  devices->AttachShell(shell);

  StartCommand command = BeginRun(shell, request.commandLine.c_str());
  silent = shell.silentMode;
  PrepareMainWindowText(shell);
  int status = 1;
  if (!request.ChangesSettings() || ApplySettingsOptions(shell, request)) status = RunAction(shell, request, command);
  if (status != 0 && realStack != nullptr) ExplainFailure(settings, *realStack);
  if (!devices->Finish(error)) {
    std::fprintf(stderr, "tessora: %s\n", error.c_str());
    return 1;
  }
  return status;
}

}  // namespace

}  // namespace tessora

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  return tessora::Run(arguments);
}

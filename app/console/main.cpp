// tessora (Linux) and tessora-cli.exe (Windows): the console program. Leading long options,
// then Tessora's own command line ("-s FILE" or "FILE").
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/board_runs.h"
#include "app/console/console_options.h"
#include "app/console/console_platform.h"
#include "app/console/console_ui.h"
#include "app/device_listing.h"
#include "app/options_rules.h"
#include "app/procedures.h"
#include "app/program_devices.h"
#include "app/settings.h"
#include "app/start_up.h"
#include "platform/native_device_stack.h"
#include "platform/native_os_services.h"
#include "platform/selected_device_stack.h"

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

// --device names a device the selected interface does not list: said before anything is sent.
bool DeviceIsListed(DeviceAccess& selected, const Settings& settings, const std::string& selector) {
  DeviceStack& stack = selected.Stack();
  if (!ListNamedInterfaces(stack, SelectedInterfaceClass(stack, settings)).empty()) return true;
  std::fprintf(stderr, "tessora: no device \"%s\" on the %s interface (--list shows the devices)\n", selector.c_str(),
               InterfaceName(settings));
  return false;
}

void PrintBoardLine(const BoardOutcome& outcome) {
  std::printf("%s: %s%s%s%s\n", outcome.name.c_str(), outcome.succeeded ? "succeeded" : "FAILED",
              outcome.text.empty() ? "" : " (", outcome.text.c_str(), outcome.text.empty() ? "" : ")");
  std::fflush(stdout);
}

// --all: the command on every controller that answers, at once; a read-out into a file per board.
int RunOnAllBoards(ShellContext& shell, DeviceAccess& devices, const ConsoleRequest& request,
                   const StartCommand& command) {
  std::vector<BoardAccess> boards = devices.Boards(shell.settings);
  int answered = 0;
  int succeeded = 0;
  RunOnEveryBoard(
      boards, shell.os, shell.store,
      [&](ShellContext& board, const std::string& name) {
        ConsoleRequest own = request;
        if (own.action == ConsoleAction::ReadOut) own.readOutFile = BoardFileName(request.readOutFile, name);
        return RunAction(board, own, command) == 0;
      },
      [&](const BoardOutcome& outcome) {
        ++answered;
        succeeded += outcome.succeeded ? 1 : 0;
        PrintBoardLine(outcome);
      });
  if (answered == 0) {
    std::fprintf(stderr, "tessora: no controller answers on the %s interface\n", InterfaceName(shell.settings));
    return 1;
  }
  std::printf("%d of %d boards succeeded\n", succeeded, answered);
  return succeeded == answered ? 0 : 1;
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
  std::unique_ptr<DeviceAccess> devices = OpenProgramDevices(settings, *os, CreateNativeDeviceStack(*os), error);
  if (!devices) {
    std::fprintf(stderr, "tessora: %s\n", error.c_str());
    return kUsageError;
  }
  // Null when TESSORA_SIM chose the simulated board.
  DeviceStack* realStack = dynamic_cast<SimulatedDeviceAccess*>(devices.get()) == nullptr ? &devices->Stack() : nullptr;
  if (request.action == ConsoleAction::UdevRule) return PrintUdevRule(realStack);
  std::unique_ptr<DeviceAccess> selected;
  if (request.device) selected = SelectDevice(*devices, settings, *os, *request.device);
  DeviceAccess& used = selected ? *selected : *devices;
  if (request.action == ConsoleAction::List) {
    for (const std::string& line : ListDeviceInterfaces(used.Stack())) std::printf("%s\n", line.c_str());
    return 0;
  }
  bool silent = false;
  ConsoleUi ui(silent);
  ShellContext shell(settings, used.Engine(), ui, *os, *store);
  used.AttachShell(shell);

  StartCommand command = BeginRun(shell, request.commandLine.c_str());
  silent = shell.silentMode;
  PrepareMainWindowText(shell);
  bool ready = (!request.ChangesSettings() || ApplySettingsOptions(shell, request)) &&
               (!request.device || DeviceIsListed(used, settings, *request.device));
  int status = !ready ? 1 : request.allBoards ? RunOnAllBoards(shell, *devices, request, command)
                                              : RunAction(shell, request, command);
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

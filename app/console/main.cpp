// tessora (Linux) and tessora-cli.exe (Windows): the console program. Leading long options,
// then Tessora's own command line ("-s FILE" or "FILE").
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/access_problems.h"
#include "app/console/console_action.h"
#include "app/console/console_help.h"
#include "app/console/console_options.h"
#include "app/console/console_platform.h"
#include "app/console/console_ui.h"
#include "app/console/console_version.h"
#include "app/console/debug_gate.h"
#include "app/console/every_board_run.h"
#include "app/console/exit_status.h"
#include "app/console/result_sink.h"
#include "app/console/station_run.h"
#include "app/console/terminal.h"
#include "app/device_inventory.h"
#include "app/device_listing.h"
#include "app/procedures.h"
#include "app/program_devices.h"
#include "app/start_text.h"
#include "app/stored_settings.h"
#include "app/start_up.h"
#include "platform/native_device_stack.h"
#include "platform/native_os_services.h"

namespace tessora {

namespace {

// The settings options are this run's, over the stored settings; --save stores the result
// for later runs and the window program.
void ApplyRunSettings(ShellContext& shell, const ConsoleRequest& request) {
  Settings& settings = shell.settings;
  if (request.address) settings.eepromAddress = *request.address;
  if (request.subaddressing) settings.subaddressing = static_cast<std::uint8_t>(*request.subaddressing);
  if (request.readSize) {
    settings.readSizeAuto = *request.readSize == 0 ? 1 : 0;
    if (*request.readSize != 0) settings.readSize = *request.readSize;
  }
  if (request.deviceInterface) {
    const std::string& name = *request.deviceInterface;
    settings.useHid = name == "hid" ? 1 : 0;
    if (name != "hid") settings.useWinUsb = name == "winusb" ? 1 : 0;
  }
  BuildStartText(shell);
  if (!request.save) return;
  SaveSettings(settings, shell.store);
  shell.ui.StandardOutput("Settings saved.");
  shell.ui.StandardOutput(shell.statusText.data());
}

// With --json, standard output carries the result alone: whatever else would be
// written there goes to standard error, and the result to the saved standard output.
int SetAsideStandardOutput() {
  std::fflush(stdout);
  int saved = dup(STDOUT_FILENO);
  if (saved >= 0) dup2(STDERR_FILENO, STDOUT_FILENO);
  return saved;
}

bool ActsOnABoard(const ConsoleRequest& request, const StartCommand& command) {
  return request.action == ConsoleAction::ReadOut || request.action == ConsoleAction::Verify ||
         request.action == ConsoleAction::Clear || request.action == ConsoleAction::Reboot ||
         (request.action == ConsoleAction::None && command.fileName[0] != '\0');
}

// A run that ends before it reaches a board: said on standard error, and its result.
int EndWithoutBoard(ResultSink& results, const ConsoleRequest& request, std::optional<int> outcome,
                    const std::string& text, int exitStatus, const Settings* settings = nullptr) {
  std::fprintf(stderr, "tessora: %s\n", text.c_str());
  WriteRunWithoutBoard(results, request, outcome, text, exitStatus, settings);
  return exitStatus;
}

// --device names a device the selected interface does not list: said before anything is sent.
bool DeviceIsListed(DeviceAccess& selected, const Settings& settings, const std::string& selector,
                    ResultSink& results, const ConsoleRequest& request) {
  if (!TakeInventory(selected.Stack(), SelectedInterfaceKind(settings)).empty()) return true;
  EndWithoutBoard(results, request, kUpdateNoDevice,
                  "no device \"" + selector + "\" on the " + InterfaceName(settings) +
                      " interface (--list shows the devices)",
                  kExitNoDevice, &settings);
  return false;
}

// --json asked for, though the command line around it was refused: a script still gets
// its object.
bool AsksForJson(const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments) {
    if (argument == "--") return false;
    if (argument == "--json") return true;
  }
  return false;
}

// "-" as the image read is standard input, through a copy; as the read-out file, standard
// output. False, said, when the system offers neither.
bool TakeStandardStreams(ConsoleRequest& request, std::unique_ptr<StandardInputCopy>& input, std::string& problem) {
  if (request.action == ConsoleAction::ReadOut && request.readOutFile == "-") {
    const char* name = StandardOutputFileName();
    if (name == nullptr)
      return problem = "this system has no name for standard output: give --read-out a file name", false;
    request.readOutFile = name;
    request.imageFromStandardStream = true;
    return true;
  }
  bool update = request.action == ConsoleAction::None && (request.commandLine == "-" || request.commandLine == "-s -");
  if (!update && !(request.action == ConsoleAction::Verify && request.verifyFile == "-")) return true;
  input = std::make_unique<StandardInputCopy>();
  if (input->Path().empty()) return problem = "standard input could not be read: " + input->Problem(), false;
  request.imageFromStandardStream = true;
  if (update) request.commandLine.replace(request.commandLine.size() - 1, 1, input->Path());
  else request.verifyFile = input->Path();
  return true;
}

// --list: a header, then a line per device interface, or with --json one array; none is
// said on standard error and is a status of its own.
int ListDevices(DeviceStack& stack, int jsonFd) {
  std::vector<ListedInterface> listing = ListDeviceInterfaces(stack);
  if (jsonFd >= 0) {
    std::string json = ListingJson(listing) + "\n";
    if (write(jsonFd, json.data(), json.size()) != static_cast<ssize_t>(json.size())) return kExitFailed;
  }
  if (listing.empty()) {
    std::fprintf(stderr, "tessora: no device interface found on HID, FilterDriver or WinUSB\n");
    return kExitNoDevice;
  }
  if (jsonFd >= 0) return kExitSucceeded;
  std::printf("%s\n", ListingHeader().c_str());
  for (const ListedInterface& listed : listing) std::printf("%s\n", ListingLine(listed).c_str());
  return kExitSucceeded;
}

// Without --device or --all a command goes to the one controller there is: with several,
// taking whichever answers first would be a guess. False, with the choices, when there
// are several.
bool OneControllerAtMost(DeviceAccess& devices, const Settings& settings, ResultSink& results,
                         const ConsoleRequest& request) {
  std::vector<DeviceInterfaceRecord> controllers;
  for (DeviceInterfaceRecord& record : TakeInventory(devices.Stack(), SelectedInterfaceKind(settings)))
    if (record.controller) controllers.push_back(std::move(record));
  if (controllers.size() <= 1) return true;
  EndWithoutBoard(results, request, std::nullopt,
                  std::to_string(controllers.size()) + " controllers on the " + InterfaceName(settings) +
                      " interface: name one with --device, or take all with --all",
                  kExitUsage, &settings);
  for (const DeviceInterfaceRecord& record : controllers) {
    std::fprintf(stderr, "  --device %s", record.path.c_str());
    if (!record.usbPort.empty()) std::fprintf(stderr, "  (or --device usb:%s)", record.usbPort.c_str());
    std::fprintf(stderr, "\n");
  }
  return false;
}

// A stored FilterDriver, the settings' default, names nothing where the system has no
// FilterDriver: the run takes the interface that finds a controller, HID first, then
// WinUSB. Given with --interface it stays, and fails with the hint. A station that finds
// no controller yet waits for them on HID.
void ChooseWorkingInterface(ShellContext& shell, DeviceStack& stack, const ConsoleRequest& request) {
  Settings& settings = shell.settings;
  if (HasFilterDriver() || request.deviceInterface || SelectedInterfaceKind(settings) != InterfaceKind::FilterDriver)
    return;
  for (InterfaceKind kind : {InterfaceKind::Hid, InterfaceKind::WinUsb}) {
    std::vector<DeviceInterfaceRecord> listed = TakeInventory(stack, kind);
    if (std::none_of(listed.begin(), listed.end(), [](const DeviceInterfaceRecord& r) { return r.controller; }))
      continue;
    settings.useHid = kind == InterfaceKind::Hid ? 1 : 0;
    settings.useWinUsb = kind == InterfaceKind::WinUsb ? 1 : 0;
    BuildStartText(shell);
    return;
  }
  if (!request.station) return;
  settings.useHid = 1;
  BuildStartText(shell);
}

int Run(const std::vector<std::string>& arguments) {
  ConsoleRequest request;
  std::string error;
  ResultSink results;
  if (!ParseConsoleArguments(arguments, request, error)) {
    if (AsksForJson(arguments)) results.WriteJsonTo(STDOUT_FILENO);
    WriteRunWithoutBoard(results, ConsoleRequest{}, std::nullopt, error, kExitUsage);
    std::fprintf(stderr, "tessora: %s\nTry 'tessora --help'.\n", error.c_str());
    return kExitUsage;
  }
  if (request.action == ConsoleAction::Help) return std::printf("%s", ConsoleUsage().c_str()), kExitSucceeded;
  if (request.action == ConsoleAction::Version) return std::printf("%s\n", VersionLine().c_str()), kExitSucceeded;
  // From here on, standard output carries the results alone with --json: whatever else
  // would be written there goes to standard error.
  int jsonFd = request.json ? SetAsideStandardOutput() : -1;
  if (request.json && jsonFd < 0) return std::fprintf(stderr, "tessora: standard output cannot be kept\n"), kExitFailed;
  results.WriteJsonTo(jsonFd);
  if (request.logFile && !results.OpenLog(*request.logFile, error))
    return EndWithoutBoard(results, request, std::nullopt, error, kExitUsage);
  std::unique_ptr<StandardInputCopy> input;
  if (!TakeStandardStreams(request, input, error))
    return EndWithoutBoard(results, request, kUpdateUnreadableImage, error, kExitImageFile);

  // A read-out into standard output (--read-out /dev/stdout) leaves the stream to the image.
  bool imageOnStdout = request.action == ConsoleAction::ReadOut && NamesStream(request.readOutFile.c_str(), STDOUT_FILENO);
  ConsoleStreams streams;
  streams.programLines = request.quiet ? nullptr : request.json || imageOnStdout ? stderr : stdout;
  streams.errorsOnly = request.quiet;
  streams.progressBar = !request.quiet && IsTerminal(STDERR_FILENO) && EnableTerminalSequences();
  std::unique_ptr<OsServices> nativeOs = CreateNativeOsServices();
  // The debug lines repeat what the program's own lines say: written only when asked for.
  auto os = std::make_unique<DebugGate>(*nativeOs, request.debug);
  std::unique_ptr<SettingsStore> store = CreateNativeSettingsStore();
  Settings settings;
  std::unique_ptr<DeviceAccess> devices =
      OpenProgramDevices(settings, *os, [&os] { return CreateNativeDeviceStack(*os); }, error);
  if (!devices) return EndWithoutBoard(results, request, std::nullopt, error, kExitFailed);
  // Null when TESSORA_SIM chose the simulated board.
  DeviceStack* realStack = devices->Simulated() ? nullptr : &devices->Stack();
  if (request.action == ConsoleAction::UdevRule) return PrintUdevRule(realStack);
  std::unique_ptr<DeviceAccess> selected;
  if (request.device) selected = SelectDevice(*devices, settings, *os, *request.device);
  DeviceAccess& used = selected ? *selected : *devices;
  if (request.action == ConsoleAction::List) return ListDevices(used.Stack(), jsonFd);
  bool silent = false;
  ConsoleUi ui(silent, streams);
  ShellContext shell(settings, used.Engine(), ui, *os, *store);
  used.AttachShell(shell);
  StopRequest stop;
  StopSignals stopSignals(stop);
  shell.engine.stop = &stop;

  StartCommand command = BeginRun(shell, request.commandLine.c_str());
  silent = shell.silentMode;
  if (std::string file = ImageFileOf(request, command); !file.empty()) {
    request.format = FormatOfFile(request, file);
    if (!request.quiet)
      std::fprintf(streams.programLines, "Image file: %s (%s)\n",
                   input && file == input->Path() ? "standard input" : file.c_str(), FormatTitle(*request.format));
  }
  PrepareMainWindowText(shell);
  ApplyRunSettings(shell, request);
  if (realStack != nullptr) ChooseWorkingInterface(shell, *realStack, request);
  // The image before the device: a missing image is its own fault whatever is plugged in.
  bool imageReadable = ImageIsReadable(shell, request, command, results);
  std::set<std::string> accessProblems;
  int status = !imageReadable ? kExitImageFile
               : request.device && !DeviceIsListed(used, settings, *request.device, results, request)
                   ? kExitNoDevice
               : !request.device && !request.allBoards && !request.station && ActsOnABoard(request, command) &&
                       !OneControllerAtMost(used, settings, results, request)
                   ? kExitUsage
               : request.station  ? RunStation(shell, *devices, request, command, results,
                                               streams.progressBar && !silent, stop)
               : request.allBoards ? RunOnAllBoards(shell, *devices, request, command, results,
                                                    streams.progressBar && !silent, accessProblems)
                                   : RunAction(shell, request, command, results);
  if (status != 0 && imageReadable && realStack != nullptr) {
    for (std::string& problem : AccessProblems(*realStack)) accessProblems.insert(std::move(problem));
    for (const std::string& problem : accessProblems) std::fprintf(stderr, "tessora: %s\n", problem.c_str());
    ExplainFailure(settings);
  }
  // A silent update ends with its outcome code wherever the streams point: the debug
  // output says it where it is on.
  if (silent && !request.debug && !request.quiet && !request.allBoards && !request.station &&
      request.action == ConsoleAction::None)
    std::fprintf(stderr, "Exit code: %d\n", shell.exitCode);
  if (!devices->Finish(error)) {
    std::fprintf(stderr, "tessora: %s\n", error.c_str());
    return kExitFailed;
  }
  // As a shell reports a program a signal ended, though this one ended on its own; a
  // station ends on a signal as it should and says itself how it went.
  if (stop.Requested() && !request.station) return 128 + stop.Signal();
  return status;
}

}  // namespace

}  // namespace tessora

int main(int argc, char** argv) {
  // Nothing may be said without a safe standard error, so a failure here is only a status.
  if (!tessora::GuardStandardStreams()) return 1;
  std::vector<std::string> arguments(argv + 1, argv + argc);
  return tessora::Run(arguments);
}

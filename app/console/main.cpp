// tessora (Linux) and tessora-cli.exe (Windows): the console program. Leading long options,
// then Tessora's own command line ("-s FILE" or "FILE").
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/access_problems.h"
#include "app/board_runs.h"
#include "app/console/board_progress_lines.h"
#include "app/console/console_options.h"
#include "app/console/console_platform.h"
#include "app/console/console_ui.h"
#include "app/console/debug_gate.h"
#include "app/console/terminal.h"
#include "app/device_inventory.h"
#include "app/device_listing.h"
#include "app/options_rules.h"
#include "app/procedures.h"
#include "app/program_devices.h"
#include "app/run_result.h"
#include "app/selected_device_stack.h"
#include "app/stored_settings.h"
#include "app/start_up.h"
#include "platform/native_device_stack.h"
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

// The image file the command reads or writes; empty when it has none.
std::string ImageFileOf(const ConsoleRequest& request, const StartCommand& command) {
  switch (request.action) {
    case ConsoleAction::ReadOut:
      return request.readOutFile;
    case ConsoleAction::Verify:
      return request.verifyFile;
    case ConsoleAction::Clear:
    case ConsoleAction::Reboot:
      return {};
    default:
      return command.fileName;
  }
}

// The one asked for, else the text format for a file written and the one the file shows
// for a file read.
ImageFormat FormatOfFile(const ConsoleRequest& request, const std::string& fileName) {
  if (request.format) return *request.format;
  ImageFormat format = ImageFormat::Text;
  if (request.action != ConsoleAction::ReadOut) DetectImageFormat(fileName.c_str(), format);
  return format;
}

const char* FormatTitle(ImageFormat format) {
  switch (format) {
    case ImageFormat::IntelHex:
      return "Intel HEX";
    case ImageFormat::Binary:
      return "raw binary";
    case ImageFormat::Text:
      break;
  }
  return "text image";
}

// Why an image could not be read, in more words than the system's message has.
void ExplainUnreadableImage(const ShellContext& shell) {
  ImageProblem problem;
  int result = CheckImageText(shell.filePath.data(), shell.imageFormat, problem);
  if (result == 0) {
    std::vector<std::uint8_t> image(MaxEepromSize);
    result = ReadImageAs(shell.filePath.data(), shell.imageFormat, image.data(), MaxEepromSize, &problem);
    if (result > 0) return;
  }
  std::fprintf(stderr, "tessora: %s (%s image): %s\n", shell.filePath.data(), ImageFormatName(shell.imageFormat),
               DescribeImageError(result, problem).c_str());
}

// The procedure the request names, or none; the command's name for its result.
const char* CommandName(const ConsoleRequest& request, const StartCommand& command) {
  switch (request.action) {
    case ConsoleAction::ReadOut:
      return "read-out";
    case ConsoleAction::Verify:
      return "verify";
    case ConsoleAction::Clear:
      return "clear";
    case ConsoleAction::Reboot:
      return "reboot";
    default:
      break;
  }
  if (command.fileName[0] == '\0') return nullptr;
  return request.updateChanged ? "update-changed" : "update";
}

// request.format: the format Run chose for the command's file.
int RunProcedure(ShellContext& shell, const ConsoleRequest& request, const StartCommand& command) {
  shell.imageFormat = request.format.value_or(ImageFormat::Text);
  shell.consoleImageRules = true;
  shell.namesLocks = true;
  switch (request.action) {
    case ConsoleAction::ReadOut:
      return ReadOutFirmware(shell, request.readOutFile.c_str()) == 1 ? 0 : 1;
    case ConsoleAction::Verify:
      return VerifyFirmware(shell, request.verifyFile.c_str()) == 1 ? 0 : 1;
    case ConsoleAction::Clear:
      return ClearEeprom(shell) == 1 ? 0 : 1;
    case ConsoleAction::Reboot:
      return RebootCommand(shell, request.rebootMode, RefusalReport::Message) ? 0 : 1;
    default:
      break;
  }
  shell.updateChangedOnly = request.updateChanged;
  RunCommandLineUpdate(shell, command.fileName);
  return RunExitStatus(shell);
}

// boardPath: the device a result object names when the device did not answer (--all).
int RunAction(ShellContext& shell, const ConsoleRequest& request, const StartCommand& command, int jsonFd,
              const std::string& boardPath = {}) {
  const char* name = CommandName(request, command);
  if (name == nullptr) {
    if (!request.ChangesSettings() && request.commandLine.empty())
      std::printf("%s\n\n%s", shell.statusText.data(), ConsoleUsage().c_str());
    return 0;
  }
  auto started = std::chrono::steady_clock::now();
  int status = RunProcedure(shell, request, command);
  if (shell.tally.outcome == kUpdateUnreadableImage && shell.filePath[0] != '\0') ExplainUnreadableImage(shell);
  if (jsonFd >= 0) {
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    RunResult result = ResultOfProcedure(shell, name, seconds);
    if (result.device.empty()) result.device = boardPath;
    if (request.format) result.format = ImageFormatName(*request.format);
    std::string line = RunResultJson(result) + "\n";
    if (write(jsonFd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) return 1;
  }
  return status;
}

// With --json, standard output carries the result alone: whatever else would be
// written there goes to standard error, and the result to the saved standard output.
int SetAsideStandardOutput() {
  std::fflush(stdout);
  int saved = dup(STDOUT_FILENO);
  if (saved >= 0) dup2(STDERR_FILENO, STDOUT_FILENO);
  return saved;
}

// --device names a device the selected interface does not list: said before anything is sent.
bool DeviceIsListed(DeviceAccess& selected, const Settings& settings, const std::string& selector) {
  if (!TakeInventory(selected.Stack(), SelectedInterfaceKind(settings)).empty()) return true;
  std::fprintf(stderr, "tessora: no device \"%s\" on the %s interface (--list shows the devices)\n", selector.c_str(),
               InterfaceName(settings));
  return false;
}

void PrintBoardLine(const BoardOutcome& outcome) {
  std::printf("%s: %s%s%s%s\n", outcome.name.c_str(), outcome.succeeded ? "succeeded" : "FAILED",
              outcome.text.empty() ? "" : " (", outcome.text.c_str(), outcome.text.empty() ? "" : ")");
  std::fflush(stdout);
}

// --all: the command on every controller at once; a read-out into a file per board.
// With --json each board's result object goes to the kept standard output as it ends. What
// the boards' own stacks were refused joins accessProblems.
int RunOnAllBoards(ShellContext& shell, DeviceAccess& devices, const ConsoleRequest& request,
                   const StartCommand& command, int jsonFd, bool showProgress,
                   std::set<std::string>& accessProblems) {
  std::vector<BoardAccess> boards = devices.Boards(shell.settings);
  std::unique_ptr<BoardProgressLines> progress;
  if (showProgress) {
    std::vector<std::string> names;
    for (const BoardAccess& board : boards) names.push_back(board.name);
    progress = std::make_unique<BoardProgressLines>(stderr, names);
  }
  int counted = 0;  // boards that answered, and controllers that had to
  int succeeded = 0;
  RunOnEveryBoard(
      boards, shell.os, shell.store,
      [&](ShellContext& board, const BoardAccess& access) {
        board.engine.stop = shell.engine.stop;
        ConsoleRequest own = request;
        if (own.action == ConsoleAction::ReadOut) own.readOutFile = BoardFileName(request.readOutFile, access.name);
        return RunAction(board, own, command, jsonFd, access.path) == 0;
      },
      [&](const BoardOutcome& outcome) {
        ++counted;
        succeeded += outcome.succeeded ? 1 : 0;
        if (progress) progress->Ended(outcome.board, [&] { PrintBoardLine(outcome); });
        else PrintBoardLine(outcome);
      },
      progress ? BoardProgress([&](std::size_t board, std::uint32_t done, std::uint32_t total) {
        progress->Update(board, done, total);
      })
               : BoardProgress{});
  progress.reset();
  for (BoardAccess& board : boards)
    for (std::string& problem : AccessProblems(board.devices->Stack())) accessProblems.insert(std::move(problem));
  if (counted == 0) {
    std::fprintf(stderr, "tessora: no controller answers on the %s interface\n", InterfaceName(shell.settings));
    return 1;
  }
  std::printf("%d of %d boards succeeded\n", succeeded, counted);
  return succeeded == counted ? 0 : 1;
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

  // Decided before standard output is set aside: what the two streams were given.
  bool sameTerminal = SameTerminal(STDOUT_FILENO, STDERR_FILENO);
  // A read-out into standard output (--read-out /dev/stdout) leaves the stream to the image.
  bool imageOnStdout = request.action == ConsoleAction::ReadOut && NamesStream(request.readOutFile.c_str(), STDOUT_FILENO);
  ConsoleStreams streams;
  streams.programLines = !request.json && !imageOnStdout;
  streams.messagesToStderr = request.json || imageOnStdout || !sameTerminal;
  streams.progressBar = IsTerminal(STDERR_FILENO) && EnableTerminalSequences();
  std::unique_ptr<OsServices> nativeOs = CreateNativeOsServices();
  auto os = std::make_unique<DebugGate>(*nativeOs, request.debug || !sameTerminal);
  std::unique_ptr<SettingsStore> store = CreateNativeSettingsStore();
  Settings settings;
  std::unique_ptr<DeviceAccess> devices =
      OpenProgramDevices(settings, *os, [&os] { return CreateNativeDeviceStack(*os); }, error);
  if (!devices) {
    std::fprintf(stderr, "tessora: %s\n", error.c_str());
    return 1;
  }
  // Null when TESSORA_SIM chose the simulated board.
  DeviceStack* realStack = devices->Simulated() ? nullptr : &devices->Stack();
  if (request.action == ConsoleAction::UdevRule) return PrintUdevRule(realStack);
  std::unique_ptr<DeviceAccess> selected;
  if (request.device) selected = SelectDevice(*devices, settings, *os, *request.device);
  DeviceAccess& used = selected ? *selected : *devices;
  if (request.action == ConsoleAction::List) {
    for (const std::string& line : ListDeviceInterfaces(used.Stack())) std::printf("%s\n", line.c_str());
    return 0;
  }
  bool silent = false;
  ConsoleUi ui(silent, streams);
  int jsonFd = request.json ? SetAsideStandardOutput() : -1;
  if (request.json && jsonFd < 0) return std::fprintf(stderr, "tessora: standard output cannot be kept\n"), 1;
  ShellContext shell(settings, used.Engine(), ui, *os, *store);
  used.AttachShell(shell);
  StopRequest stop;
  StopSignals stopSignals(stop);
  shell.engine.stop = &stop;

  StartCommand command = BeginRun(shell, request.commandLine.c_str());
  silent = shell.silentMode;
  if (std::string file = ImageFileOf(request, command); !file.empty()) {
    request.format = FormatOfFile(request, file);
    std::fprintf(imageOnStdout ? stderr : stdout, "Image file: %s (%s)\n", file.c_str(), FormatTitle(*request.format));
  }
  PrepareMainWindowText(shell);
  bool ready = (!request.ChangesSettings() || ApplySettingsOptions(shell, request)) &&
               (!request.device || DeviceIsListed(used, settings, *request.device));
  std::set<std::string> accessProblems;
  int status = !ready                ? 1
               : request.allBoards ? RunOnAllBoards(shell, *devices, request, command, jsonFd,
                                                    streams.progressBar && !silent, accessProblems)
                                   : RunAction(shell, request, command, jsonFd);
  if (status != 0 && realStack != nullptr) {
    for (std::string& problem : AccessProblems(*realStack)) accessProblems.insert(std::move(problem));
    for (const std::string& problem : accessProblems) std::fprintf(stderr, "tessora: %s\n", problem.c_str());
    ExplainFailure(settings);
  }
  if (!devices->Finish(error)) {
    std::fprintf(stderr, "tessora: %s\n", error.c_str());
    return 1;
  }
  // As a shell reports a program a signal ended, though this one ended on its own.
  if (stop.Requested()) return 128 + stop.Signal();
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

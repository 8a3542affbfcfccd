// One run of the console program's command on one board: the procedure, its explanation
// and its JSON result.
#include "app/console/console_action.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <vector>

#include "app/console/console_help.h"
#include "app/console/console_version.h"
#include "app/console/exit_status.h"
#include "app/procedures.h"
#include "app/run_result.h"
#include "app/sha256.h"
#include "app/start_up.h"
#include "engine/image_file.h"
#include "engine/image_format.h"

namespace tessora {

namespace {

// Why an image cannot be read, in more words than the system's message has; empty when
// it can.
std::string ImageProblemText(const ShellContext& shell) {
  ImageProblem problem;
  errno = 0;
  int result = CheckImageText(shell.filePath.data(), shell.imageFormat, problem);
  if (result == 0) {
    std::vector<std::uint8_t> image(MaxEepromSize);
    result = ReadImageAs(shell.filePath.data(), shell.imageFormat, image.data(), MaxEepromSize, &problem);
    if (result > 0) return {};
  }
  std::string text = DescribeImageError(result, problem);
  // The system's reason why the file did not open, where it gave one.
  if (result == kImageCannotOpen && errno != 0) text += std::string(" (") + std::strerror(errno) + ")";
  return text;
}

void ExplainUnreadableImage(const ShellContext& shell) {
  std::string problem = ImageProblemText(shell);
  if (!problem.empty())
    std::fprintf(stderr, "tessora: %s (%s image): %s\n", shell.filePath.data(), ImageFormatName(shell.imageFormat),
                 problem.c_str());
}

// The image file the command reads before it writes or compares; empty for the others.
std::string ImageReadFirst(const ConsoleRequest& request, const StartCommand& command) {
  if (request.action == ConsoleAction::Verify) return request.verifyFile;
  return request.action == ConsoleAction::None ? command.fileName : "";
}

void PrepareShell(ShellContext& shell, const ConsoleRequest& request) {
  shell.imageFormat = request.format.value_or(ImageFormat::Text);
  shell.consoleImageRules = true;
  shell.namesLocks = true;
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

// A line of the result, which the JSON result's outcome_text and a board's line carry too.
void ReportResult(ShellContext& shell, const char* text) {
  std::snprintf(shell.statusText.data(), shell.statusText.size(), "%s", text);
  shell.ui.StandardOutput(text);
}

int RunProcedure(ShellContext& shell, const ConsoleRequest& request, const StartCommand& command) {
  PrepareShell(shell, request);
  switch (request.action) {
    case ConsoleAction::ReadOut:
      ReadOutFirmware(shell, request.readOutFile.c_str());
      break;
    case ConsoleAction::Verify:
      VerifyFirmware(shell, request.verifyFile.c_str());
      break;
    case ConsoleAction::Clear:
      ClearEeprom(shell);
      break;
    case ConsoleAction::Reboot:
      if (RebootCommand(shell, request.rebootMode, RefusalReport::Message))
        ReportResult(shell, request.rebootMode == 2 ? "Reboot requested: the controller restarts from its ROM."
                                                    : "Reboot requested: the controller restarts from the EEPROM.");
      break;
    default:
      shell.updateChangedOnly = request.updateChanged;
      RunCommandLineUpdate(shell, command.fileName);
      // The run read every page and found each as the image has it.
      if (request.updateChanged && shell.tally.outcome == kUpdateSucceeded && shell.tally.pages == 0)
        ReportResult(shell, "Nothing written: the board already holds the image.");
      break;
  }
  return ExitStatusOfOutcome(shell.tally.outcome);
}

bool EndsWith(const std::string& name, std::string_view suffix) {
  if (name.size() < suffix.size()) return false;
  for (std::size_t i = 0; i < suffix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(name[name.size() - suffix.size() + i])) != suffix[i]) return false;
  return true;
}

// What a read-out's file name says it holds: .bin raw, .ihex or .ihx Intel HEX, else text.
ImageFormat FormatOfNameWritten(const std::string& name) {
  if (EndsWith(name, ".bin")) return ImageFormat::Binary;
  return EndsWith(name, ".ihex") || EndsWith(name, ".ihx") ? ImageFormat::IntelHex : ImageFormat::Text;
}

// The image file's SHA-256 where it says which image went onto or came off the board: a
// file read, or one a read-out wrote whole; never a stream, which reading would consume.
std::string ImageDigest(const std::string& file, const ConsoleRequest& request, int outcome) {
  std::error_code ignored;
  if (file.empty() || !std::filesystem::is_regular_file(file, ignored)) return {};
  if (request.action == ConsoleAction::ReadOut && outcome != kUpdateSucceeded) return {};
  return FileSha256Hex(file).value_or("");
}

bool WriteResult(ShellContext& shell, const ConsoleRequest& request, const StartCommand& command, double seconds,
                 int status, ResultSink& results, const std::string& boardPath) {
  RunResult result = ResultOfProcedure(shell, CommandName(request, command), seconds);
  if (result.device.empty()) result.device = boardPath;
  if (request.format) result.format = ImageFormatName(*request.format);
  std::string file = ImageFileOf(request, command);
  result.image = request.imageFromStandardStream ? "-" : file;
  result.imageSha256 = ImageDigest(file, request, shell.tally.outcome);
  result.exitStatus = status;
  return results.Write(std::move(result));
}

}  // namespace

std::string RequestCommandName(const ConsoleRequest& request) {
  const char* name = CommandName(request, ParseStartCommandLine(request.commandLine.c_str(), NextUtf8Char));
  return name != nullptr ? name : "";
}

void WriteRunWithoutBoard(ResultSink& results, const ConsoleRequest& request, std::optional<int> outcome,
                          const std::string& text, int exitStatus, const Settings* settings) {
  RunResult result;
  result.command = RequestCommandName(request);
  if (settings != nullptr) result.interfaceName = InterfaceKey(*settings);
  result.outcomeCode = outcome;
  result.outcomeText = text;
  if (request.format) result.format = ImageFormatName(*request.format);
  result.exitStatus = exitStatus;
  results.Write(std::move(result));
}

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

ImageFormat FormatOfFile(const ConsoleRequest& request, const std::string& fileName) {
  if (request.format) return *request.format;
  ImageFormat format = ImageFormat::Text;
  if (request.action != ConsoleAction::ReadOut) DetectImageFormat(fileName.c_str(), format);
  else format = FormatOfNameWritten(fileName);
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

int RunAction(ShellContext& shell, const ConsoleRequest& request, const StartCommand& command, ResultSink& results,
              const std::string& boardPath) {
  const char* name = CommandName(request, command);
  if (name == nullptr) {
    if (!request.save && request.commandLine.empty())
      std::printf("%s\n\n%s", shell.statusText.data(), ConsoleUsage().c_str());
    return 0;
  }
  auto started = std::chrono::steady_clock::now();
  int status = RunProcedure(shell, request, command);
  if (shell.tally.outcome == kUpdateUnreadableImage && shell.filePath[0] != '\0') ExplainUnreadableImage(shell);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  // The board a run on one board acted on, named where its lines are read.
  if (boardPath.empty()) {
    BoardIdentity board = ConnectedBoard(shell.engine);
    if (!board.path.empty())
      shell.ui.StandardOutput((BoardLabel(board) + (status == kExitSucceeded ? ": succeeded" : ": FAILED")).c_str());
  }
  if (!WriteResult(shell, request, command, seconds, status, results, boardPath)) return kExitFailed;
  return status;
}

bool ImageIsReadable(ShellContext& shell, const ConsoleRequest& request, const StartCommand& command,
                     ResultSink& results) {
  std::string file = ImageReadFirst(request, command);
  if (file.empty()) return true;
  PrepareShell(shell, request);
  // A name longer than the shell keeps cannot be opened as given.
  bool fits = file.size() < shell.filePath.size();
  if (fits) {
    std::copy(file.begin(), file.end(), shell.filePath.begin());
    shell.filePath[file.size()] = '\0';
    if (ImageProblemText(shell).empty()) return true;
  }
  shell.tally = ProcedureTally{};
  ReportUnreadableImage(shell, file.c_str());
  if (fits) ExplainUnreadableImage(shell);
  shell.exitCode = kUpdateUnreadableImage;
  if (request.action == ConsoleAction::None) WriteExitCodeLine(shell);
  WriteResult(shell, request, command, 0, kExitImageFile, results, {});
  return false;
}

}  // namespace tessora

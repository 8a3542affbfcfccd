#include "tests/wine_hid/wine_session.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <sstream>

namespace tessora::test {

namespace {

using std::chrono::seconds;

// The first process boots services and drivers (a few seconds); a program runs in about
// one. Far more means Wine hangs.
constexpr seconds kBootLimit{90};
constexpr seconds kRunLimit{60};

// Wine shows a debug text nobody debugs as a warning of its exception dispatcher
// ("0024:warn:seh:dispatch_exception \"text\""), with C escapes in it.
std::string Unescape(const std::string& text) {
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      plain += text[i];
      continue;
    }
    char escaped = text[++i];
    plain += escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped == 'r' ? '\r' : escaped;
  }
  return plain;
}

// Splits standard error into the program's own lines and its debug texts; Wine's other
// trace lines are dropped.
void SeparateDebugLines(WineRun& run) {
  static const std::regex traceLine("^[0-9a-f]{4,8}:(trace|warn|err|fixme):.*");
  static const std::regex debugText("^[0-9a-f]{4,8}:warn:seh:\\w+ \"(.*)\"$");
  std::istringstream lines(run.errors);
  std::string line, own;
  std::smatch match;
  while (std::getline(lines, line)) {
    if (std::regex_match(line, match, debugText)) run.debugLines.push_back(Unescape(match[1]));
    else if (!std::regex_match(line, traceLine)) own += line + "\n";
  }
  run.errors = own;
}

}  // namespace

std::string WindowsPath(const std::string& path) {
  std::string windows = "Z:" + path;
  for (char& c : windows)
    if (c == '/') c = '\\';
  return windows;
}

WineSession::WineSession(const WinePrefix& prefix, const EmulatedUsb& usb)
    : prefix_(prefix), environment_(prefix.Environment()) {
  if (!prefix.Problem().empty()) {
    problem_ = prefix.Problem();
    return;
  }
  const std::string testbed = usb.Directory();
  tag_ = "UMOCKDEV_DIR=" + testbed;
  environment_.Set("UMOCKDEV_DIR", testbed);
  environment_.Set("LD_PRELOAD", "libumockdev-preload.so.0");
  StartGuardian(testbed);
  // Wine ends its services and drivers a few seconds after the last program, and the
  // next program would start them again and race their devices: a server that stays
  // keeps them for the whole session. Started here, it carries the preload too.
  const std::string log = logs_.File("wine.log");
  if (!RunsToTheEnd({kWineServer, "-p"}, log) || !RunsToTheEnd({kWine64, "cmd.exe", "/c", "exit"}, log))
    problem_ = "Wine did not start in " + prefix.Path() + ": " + ReadFile(log);
}

// Services and drivers inherit the output of the process that starts them: a log of the
// session's own, so that no program's output stays open after the program.
bool WineSession::RunsToTheEnd(const std::vector<std::string>& command, const std::string& log) const {
  pid_t child = StartChild(command, environment_, -1, log, log);
  std::optional<int> status = child == 0 ? std::nullopt : WaitForChild(child, kBootLimit);
  if (child != 0 && !status) {
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
  }
  return status == 0;
}

WineSession::~WineSession() { Stop(); }

WineRun WineSession::Run(const WindowsProgram& program, const std::vector<std::string>& arguments) const {
  std::vector<std::string> command = {program.loader, program.path};
  command.insert(command.end(), arguments.begin(), arguments.end());
  ChildEnvironment environment = environment_;
  environment.Set("WINEDEBUG", "warn+seh");
  WineRun run;
  static_cast<ChildRun&>(run) = RunChild(command, environment, kRunLimit);
  SeparateDebugLines(run);
  return run;
}

// The guardian waits on a pipe that only this process writes to: told "done" it ends
// quietly; at the end of the file, whatever ended this process, it stops the prefix's
// wineserver and removes the emulated machine and the session's logs. It runs in a
// session of its own, so that a signal to this process's group spares it.
void WineSession::StartGuardian(const std::string& testbed) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return;
  UniqueDescriptor reading(ends[0]);
  guardianLine_ = UniqueDescriptor(ends[1]);
  const std::string script = "read -r word; [ \"$word\" = done ] || { \"$1\" -k; rm -rf -- \"$2\" \"$3\"; }";
  guardian_ = StartChild({"/bin/sh", "-c", script, "guardian", kWineServer, testbed, logs_.Path().string()},
                         prefix_.Environment(), reading.Get(), "/dev/null", "/dev/null", true);
}

void WineSession::Stop() {
  if (tag_.empty()) return;
  prefix_.StopServer();
  if (guardianLine_.Valid() && ::write(guardianLine_.Get(), "done\n", 5) != 5) ADD_FAILURE() << "guardian not told";
  guardianLine_.Reset();
  if (guardian_ != 0) WaitForChild(guardian_, seconds(10));
  EndProcessesLeft();
}

// The wineserver ends every process it knows; one that never reached it (a loader
// killed while it started) is found by the environment every process of the session
// carries.
void WineSession::EndProcessesLeft() const {
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string pid = entry.path().filename();
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string environment = std::string(1, '\0') + ReadFile(entry.path() / "environ");
    if (environment.find('\0' + tag_ + '\0') != std::string::npos) ::kill(std::stoi(pid), SIGKILL);
  }
}

}  // namespace tessora::test

#include "tests/wine_hid/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/unique_descriptor.h"
#include "tests/support/test_support.h"

extern char** environ;

namespace tessora::test {

ChildEnvironment::ChildEnvironment() {
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string text = *entry;
    std::size_t equals = text.find('=');
    if (equals != std::string::npos) variables_[text.substr(0, equals)] = text.substr(equals + 1);
  }
}

std::vector<std::string> ChildEnvironment::Entries() const {
  std::vector<std::string> entries;
  for (const auto& [name, value] : variables_) entries.push_back(name + "=" + value);
  return entries;
}

namespace {

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

struct SpawnActions {
  posix_spawn_file_actions_t actions;
  SpawnActions() { posix_spawn_file_actions_init(&actions); }
  ~SpawnActions() { posix_spawn_file_actions_destroy(&actions); }
};

struct SpawnAttributes {
  posix_spawnattr_t attributes;
  SpawnAttributes() { posix_spawnattr_init(&attributes); }
  ~SpawnAttributes() { posix_spawnattr_destroy(&attributes); }
};

}  // namespace

pid_t StartChild(const std::vector<std::string>& arguments, const ChildEnvironment& environment, int input,
                 const std::string& outputFile, const std::string& errorFile, bool ownSession) {
  SpawnActions files;
  if (input >= 0) posix_spawn_file_actions_adddup2(&files.actions, input, 0);
  else posix_spawn_file_actions_addopen(&files.actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files.actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
  posix_spawn_file_actions_addopen(&files.actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
  SpawnAttributes attributes;
  if (ownSession) posix_spawnattr_setflags(&attributes.attributes, POSIX_SPAWN_SETSID);
  std::vector<std::string> argumentTexts = arguments, environmentTexts = environment.Entries();
  std::vector<char*> argv = Pointers(argumentTexts), envp = Pointers(environmentTexts);
  pid_t child = 0;
  if (posix_spawn(&child, argv[0], &files.actions, &attributes.attributes, argv.data(), envp.data()) != 0) return 0;
  return child;
}

// A pidfd (Linux 5.3 and later) becomes readable when its process ends: the wait needs no
// polling of its own.
std::optional<int> WaitForChild(pid_t child, std::chrono::milliseconds limit) {
  UniqueDescriptor ended(static_cast<int>(::syscall(SYS_pidfd_open, child, 0)));
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    int status = 0;
    pid_t reaped = ::waitpid(child, &status, WNOHANG);
    if (reaped == child) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (reaped < 0 && errno != EINTR) return -1;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !ended.Valid()) return std::nullopt;
    pollfd event{ended.Get(), POLLIN, 0};
    ::poll(&event, 1, static_cast<int>(left.count()));
  }
}

ChildRun RunChild(const std::vector<std::string>& arguments, const ChildEnvironment& environment,
                  std::chrono::milliseconds limit) {
  TempDir files;
  const std::string output = files.File("output"), errors = files.File("errors");
  ChildRun run;
  pid_t child = StartChild(arguments, environment, -1, output, errors);
  if (child == 0) {
    run.errors = "could not start " + arguments.at(0);
    return run;
  }
  std::optional<int> status = WaitForChild(child, limit);
  if (!status) {
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
  }
  run.exited = status.has_value();
  run.status = status.value_or(-1);
  run.output = ReadFile(output);
  run.errors = ReadFile(errors);
  return run;
}

}  // namespace tessora::test

#ifndef _WIN32
#include "tests/support/started_program.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/test_support.h"

namespace tessora::test {

StartedProgram::StartedProgram(const std::string& command) {
  child_ = fork();
  if (child_ != 0) return;
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
  _exit(127);
}

StartedProgram::~StartedProgram() {
  if (child_ <= 0) return;
  kill(child_, SIGKILL);
  waitpid(child_, nullptr, 0);
}

bool StartedProgram::Running() {
  if (child_ > 0 && waitpid(child_, &raw_, WNOHANG) == child_) child_ = 0;
  return child_ > 0;
}

void StartedProgram::Send(int signal) {
  if (child_ > 0) kill(child_, signal);
}

int StartedProgram::Status() {
  if (child_ > 0 && waitpid(child_, &raw_, 0) == child_) child_ = 0;
  return WIFEXITED(raw_) ? WEXITSTATUS(raw_) : -1;
}

bool StartedProgram::Await(const std::string& file, const std::string& text, std::size_t count) {
  // Looked at as a person watches a screen: the program's own pace sets how long it takes.
  while (Occurrences(ReadFile(file), text) < count && Running()) usleep(10000);
  return Occurrences(ReadFile(file), text) >= count;
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

}  // namespace tessora::test
#endif

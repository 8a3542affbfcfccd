#pragma once
#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tessora::test {

// The environment of a program to start: this process's, with some variables changed.
class ChildEnvironment {
 public:
  ChildEnvironment();
  void Set(const std::string& name, const std::string& value) { variables_[name] = value; }
  void Unset(const std::string& name) { variables_.erase(name); }
  std::vector<std::string> Entries() const;

 private:
  std::map<std::string, std::string> variables_;
};

struct ChildRun {
  bool exited = false;  // false: it outlived its limit and was killed
  int status = -1;      // the exit status; -1 unless it exited
  std::string output;   // standard output
  std::string errors;   // standard error
};

// Starts a program with standard input from `input` (a descriptor, or /dev/null when -1)
// and its output appended to the files; in a session of its own when `ownSession`, so
// that nothing sent to this process's group reaches it. Returns 0 when it cannot start.
pid_t StartChild(const std::vector<std::string>& arguments, const ChildEnvironment& environment, int input,
                 const std::string& outputFile, const std::string& errorFile, bool ownSession = false);

// The child's exit status once it has ended; none, with the child still running, when it
// has not ended within the limit.
std::optional<int> WaitForChild(pid_t child, std::chrono::milliseconds limit);

// Runs a program to its end, or kills it when it outlives the limit; its output is read
// back from files, so that whatever it leaves running cannot hold the run open.
ChildRun RunChild(const std::vector<std::string>& arguments, const ChildEnvironment& environment,
                  std::chrono::milliseconds limit);

}  // namespace tessora::test

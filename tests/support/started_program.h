#pragma once
#ifndef _WIN32
#include <sys/types.h>

#include <cstddef>
#include <string>

namespace tessora::test {

// A program started in the background by `sh -c command`, as an operator leaves a station
// running; killed when the object ends, and by the system should the test program end
// first (the watchdog), so that none is left waiting.
class StartedProgram {
 public:
  explicit StartedProgram(const std::string& command);
  ~StartedProgram();
  StartedProgram(const StartedProgram&) = delete;
  StartedProgram& operator=(const StartedProgram&) = delete;

  bool Running();
  void Send(int signal);
  // Its exit status once it has ended; -1 when a signal ended it.
  int Status();
  // Until `text` stands in the file `count` times, or the program has ended; true when it does.
  bool Await(const std::string& file, const std::string& text, std::size_t count = 1);

 private:
  pid_t child_ = 0;
  int raw_ = 0;
};

std::size_t Occurrences(const std::string& text, const std::string& part);

}  // namespace tessora::test
#endif

#pragma once
#include <memory>
#include <mutex>
#include <string>

#include "app/console/console_platform.h"
#include "app/run_result.h"

namespace tessora {

// Where each board's result goes: with --json one object on a line of standard output,
// with --log one line appended to the log, stamped with the time and the station. Boards
// run at once write through one sink, a line at a time.
class ResultSink {
 public:
  // False, with the system's reason, when the log cannot be opened for appending.
  bool OpenLog(const std::string& path, std::string& error);
  // The descriptor the JSON objects go to; -1, the default, for none.
  void WriteJsonTo(int fd) { jsonFd_ = fd; }

  // The result, with the program's version added; false when a line could not be written
  // whole.
  bool Write(RunResult result);

 private:
  std::mutex writing_;
  int jsonFd_ = -1;
  std::unique_ptr<AppendOnlyFile> log_;
  std::string host_;
};

}  // namespace tessora

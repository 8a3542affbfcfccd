#include "app/console/result_sink.h"

#include <unistd.h>

#include "app/console/console_version.h"

namespace tessora {

namespace {

bool WriteWhole(int fd, const std::string& line) {
  for (std::size_t done = 0; done < line.size();) {
    auto put = write(fd, line.data() + done, static_cast<unsigned>(line.size() - done));
    if (put <= 0) return false;
    done += static_cast<std::size_t>(put);
  }
  return true;
}

}  // namespace

bool ResultSink::OpenLog(const std::string& path, std::string& error) {
  auto log = std::make_unique<AppendOnlyFile>(path);
  if (!log->IsOpen())
    return error = "the log " + path + " cannot be opened for appending (" + log->Problem() + ")", false;
  log_ = std::move(log);
  host_ = HostName();
  return true;
}

bool ResultSink::Write(RunResult result) {
  if (jsonFd_ < 0 && !log_) return true;
  result.toolVersion = ToolVersion();
  std::string json = RunResultJson(result);
  std::lock_guard hold(writing_);
  bool written = jsonFd_ < 0 || WriteWhole(jsonFd_, json + "\n");
  // The same object, led by when and where: a line a log shared by several stations can be
  // sorted and searched by.
  if (log_)
    written = log_->Append("{\"time\":\"" + UtcTimeNow() + "\",\"host\":" + JsonString(host_) + "," + json.substr(1) +
                           "\n") &&
              written;
  return written;
}

}  // namespace tessora

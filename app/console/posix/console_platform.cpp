#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "app/console/console_platform.h"
#include "app/udev_rule.h"

namespace tessora {

int PrintUdevRule(DeviceStack* realStack) {
  if (realStack == nullptr) {
    std::fprintf(stderr, "tessora: --udev-rule is for real devices; unset TESSORA_SIM\n");
    return 2;
  }
  std::string rule = UdevRule(ControllersPresent(*realStack));
  if (rule.empty()) {
    std::fprintf(stderr, "tessora: no controller found (plug it in; a WinUSB controller whose node this user "
                         "cannot open is found by root only)\n");
    return 1;
  }
  std::printf("%s", rule.c_str());
  return 0;
}

bool GuardStandardStreams() {
  for (int stream = STDIN_FILENO; stream <= STDERR_FILENO; ++stream) {
    if (fcntl(stream, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free number is the closed stream's, as the ones below it are open.
    if (open("/dev/null", stream == STDIN_FILENO ? O_RDONLY : O_WRONLY) != stream) return false;
  }
  // Writing to a pipe whose reader has gone then fails with EPIPE instead of ending the
  // program while it writes the board.
  return std::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
}

namespace {

// All a signal handler can reach: the request of the StopSignals that lives.
std::atomic<StopRequest*> stopTarget{nullptr};
static_assert(std::atomic<StopRequest*>::is_always_lock_free);

void RequestStop(int signal) {
  if (StopRequest* stop = stopTarget.load()) stop->Request(signal);
}

void Handle(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // the transfer under way ends as it would have
  sigaction(signal, &action, nullptr);
}

}  // namespace

StopSignals::StopSignals(StopRequest& stop) {
  stopTarget.store(&stop);
  Handle(SIGINT, RequestStop);
  Handle(SIGTERM, RequestStop);
}

StopSignals::~StopSignals() {
  Handle(SIGINT, SIG_DFL);
  Handle(SIGTERM, SIG_DFL);
  stopTarget.store(nullptr);
}

bool EnableTerminalSequences() { return true; }

bool NamesStream(const char* path, int fd) {
  struct stat named {};
  struct stat stream {};
  if (stat(path, &named) != 0 || fstat(fd, &stream) != 0) return false;
  return named.st_dev == stream.st_dev && named.st_ino == stream.st_ino;
}

AppendOnlyFile::AppendOnlyFile(const std::string& path) {
  handle_ = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (handle_ < 0) problem_ = std::strerror(errno);
}

AppendOnlyFile::~AppendOnlyFile() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
}

bool AppendOnlyFile::Append(const std::string& line) {
  ssize_t written = -1;
  do written = write(static_cast<int>(handle_), line.data(), line.size());
  while (written < 0 && errno == EINTR);
  return written == static_cast<ssize_t>(line.size());
}

std::string HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

std::string UtcTimeNow() {
  timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  tm utc {};
  gmtime_r(&now.tv_sec, &utc);
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(now.tv_nsec / 1000000 % 1000));
  return text;
}

const char* StandardOutputFileName() { return "/dev/stdout"; }

namespace {

bool CopyAll(int from, int to) {
  char chunk[65536];
  for (;;) {
    ssize_t got = read(from, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return got == 0;
    for (ssize_t done = 0; done < got;) {
      ssize_t put = write(to, chunk + done, static_cast<std::size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) return false;
      done += put;
    }
  }
}

}  // namespace

StandardInputCopy::StandardInputCopy() {
  std::error_code ignored;
  std::string pattern = (std::filesystem::temp_directory_path(ignored) / "tessora-stdin-XXXXXX").string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0) {
    problem_ = std::strerror(errno);
    return;
  }
  path_ = name.data();
  bool copied = CopyAll(STDIN_FILENO, fd);
  if (!copied) problem_ = std::strerror(errno);
  if (close(fd) != 0 && copied) {
    copied = false;
    problem_ = std::strerror(errno);
  }
  if (copied) return;
  unlink(path_.c_str());
  path_.clear();
}

StandardInputCopy::~StandardInputCopy() {
  if (!path_.empty()) unlink(path_.c_str());
}

bool HasFilterDriver() { return false; }

void ExplainFailure(const Settings& settings) {
  if (!settings.useHid && !settings.useWinUsb)
    std::fprintf(stderr,
                 "tessora: the FilterDriver interface exists only on Windows; on Linux use --interface hid or "
                 "--interface winusb\n");
}

}  // namespace tessora

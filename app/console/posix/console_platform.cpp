#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>

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

void ExplainFailure(const Settings& settings) {
  if (!settings.useHid && !settings.useWinUsb)
    std::fprintf(stderr,
                 "tessora: the FilterDriver interface exists only on Windows; on Linux use --interface hid or "
                 "--interface winusb\n");
}

}  // namespace tessora

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>

#include "app/console/console_platform.h"

namespace tessora {

// Windows hands a program no free handle number of a closed stream to reuse, and has no
// SIGPIPE.
bool GuardStandardStreams() { return true; }

bool NamesStream(const char* /*path*/, int /*fd*/) { return false; }

namespace {

// All the control handler's thread can reach: the request of the StopSignals that lives.
std::atomic<StopRequest*> stopTarget{nullptr};

BOOL WINAPI RequestStop(DWORD event) {
  StopRequest* stop = stopTarget.load();
  if (stop == nullptr) return FALSE;
  bool interrupt = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
  stop->Request(interrupt ? SIGINT : SIGTERM);
  // The system ends the process as soon as this returns from a close, log-off or shut-down
  // event: waiting here lets the procedure reach its safe point and the program end itself
  // first, within the few seconds the system allows.
  if (!interrupt) Sleep(INFINITE);
  return TRUE;
}

}  // namespace

StopSignals::StopSignals(StopRequest& stop) {
  stopTarget.store(&stop);
  SetConsoleCtrlHandler(RequestStop, TRUE);
}

StopSignals::~StopSignals() {
  SetConsoleCtrlHandler(RequestStop, FALSE);
  stopTarget.store(nullptr);
}

// A console takes escape sequences only once asked to (Windows 10 and later).

bool EnableTerminalSequences() {
  HANDLE console = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &mode)) return false;
  return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
         SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != FALSE;
}

int PrintUdevRule(DeviceStack* /*realStack*/) {
  std::fprintf(stderr, "tessora: --udev-rule is for Linux; Windows reaches the controllers through its drivers\n");
  return 2;
}

// Windows reports its own device problems through the messages the run has shown.
bool HasFilterDriver() { return true; }

void ExplainFailure(const Settings& /*settings*/) {}

// A handle with append access alone writes at the end of the file, each write whole.
AppendOnlyFile::AppendOnlyFile(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    char reason[256] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, GetLastError(), 0, reason,
                   sizeof reason - 1, nullptr);
    problem_ = reason[0] != '\0' ? reason : "the system refused it";
    while (!problem_.empty() && (problem_.back() == '\n' || problem_.back() == '\r' || problem_.back() == '.'))
      problem_.pop_back();
    return;
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
}

AppendOnlyFile::~AppendOnlyFile() {
  if (IsOpen()) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool AppendOnlyFile::Append(const std::string& line) {
  DWORD written = 0;
  return WriteFile(reinterpret_cast<HANDLE>(handle_), line.data(), static_cast<DWORD>(line.size()), &written,
                   nullptr) &&
         written == line.size();
}

std::string HostName() {
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof name;
  return GetComputerNameA(name, &size) ? std::string(name, size) : std::string();
}

std::string UtcTimeNow() {
  SYSTEMTIME utc{};
  GetSystemTime(&utc);
  char text[40];
  std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u.%03uZ", utc.wYear, utc.wMonth, utc.wDay, utc.wHour,
                utc.wMinute, utc.wSecond, utc.wMilliseconds);
  return text;
}

// Windows has no name that opens a redirected standard output.
const char* StandardOutputFileName() { return nullptr; }

StandardInputCopy::StandardInputCopy() {
  char directory[MAX_PATH + 1];
  char name[MAX_PATH + 1];
  DWORD length = GetTempPathA(sizeof directory, directory);
  if (length == 0 || length > sizeof directory || GetTempFileNameA(directory, "tsr", 0, name) == 0) {
    problem_ = "no temporary file could be made";
    return;
  }
  path_ = name;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> copy(std::fopen(name, "wb"), &std::fclose);
  bool copied = copy != nullptr && _setmode(_fileno(stdin), _O_BINARY) != -1;
  char chunk[65536];
  for (std::size_t got = 0; copied && (got = std::fread(chunk, 1, sizeof chunk, stdin)) > 0;)
    copied = std::fwrite(chunk, 1, got, copy.get()) == got;
  copied = copied && !std::ferror(stdin);
  if (copy != nullptr && std::fclose(copy.release()) != 0) copied = false;
  if (copied) return;
  problem_ = "standard input could not be copied";
  DeleteFileA(name);
  path_.clear();
}

StandardInputCopy::~StandardInputCopy() {
  if (!path_.empty()) DeleteFileA(path_.c_str());
}

}  // namespace tessora

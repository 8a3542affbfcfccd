#include "tests/win32/debuggee.h"

#include <filesystem>
#include <thread>

#include "tests/support/test_support.h"

namespace tessora::test {

namespace {

struct Handle {
  HANDLE value = nullptr;
  ~Handle() {
    if (value != nullptr && value != INVALID_HANDLE_VALUE) CloseHandle(value);
  }
};

std::string ReadDebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info) {
  if (info.fUnicode || info.nDebugStringLength == 0) return "";
  std::string text(info.nDebugStringLength, '\0');
  SIZE_T read = 0;
  ReadProcessMemory(process, info.lpDebugStringData, text.data(), text.size(), &read);
  text.resize(read);
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

// Collects the child's debug texts until it exits or the time is up.
void DebugUntilExit(const PROCESS_INFORMATION& child, DWORD timeoutMs, ProgramRun& run) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    ULONGLONG now = GetTickCount64();
    DEBUG_EVENT event{};
    if (now >= deadline || !WaitForDebugEvent(&event, static_cast<DWORD>(deadline - now))) {
      TerminateProcess(child.hProcess, 99);
      DebugActiveProcessStop(child.dwProcessId);
      return;
    }
    DWORD status = DBG_CONTINUE;
    switch (event.dwDebugEventCode) {
      case CREATE_PROCESS_DEBUG_EVENT:
        if (event.u.CreateProcessInfo.hFile != nullptr) CloseHandle(event.u.CreateProcessInfo.hFile);
        break;
      case LOAD_DLL_DEBUG_EVENT:
        if (event.u.LoadDll.hFile != nullptr) CloseHandle(event.u.LoadDll.hFile);
        break;
      case OUTPUT_DEBUG_STRING_EVENT:
        run.debugLines.push_back(ReadDebugString(child.hProcess, event.u.DebugString));
        break;
      case EXCEPTION_DEBUG_EVENT:
        // The loader's breakpoint is ours to pass; every other exception is the program's.
        if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
          status = DBG_EXCEPTION_NOT_HANDLED;
        break;
      case EXIT_PROCESS_DEBUG_EVENT:
        run.exited = true;
        run.exitStatus = event.u.ExitProcess.dwExitCode;
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE);
        return;
      default:
        break;
    }
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
  }
}

}  // namespace

ProgramRun RunProgram(const std::string& program, const std::string& arguments, const std::string& boardDirectory,
                      const std::function<void(DWORD processId)>& during, DWORD timeoutMs) {
  ProgramRun run;
  char self[MAX_PATH] = {};
  DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return run;
  const auto path = std::filesystem::path(self).parent_path().parent_path() / "bin" / program;
  std::string commandLine = "\"" + path.string() + "\"" + (arguments.empty() ? "" : " " + arguments);
  // The program's own output goes to a file, not among the tests' texts.
  TempDir scratch;
  const std::string outputFile = scratch.File("output.txt");
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  Handle output{CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr)};
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = output.value;
  PROCESS_INFORMATION child{};
  SetEnvironmentVariableA("TESSORA_SIM", boardDirectory.empty() ? nullptr : boardDirectory.c_str());
  const BOOL started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, DEBUG_ONLY_THIS_PROCESS,
                                      nullptr, nullptr, &startup, &child);
  SetEnvironmentVariableA("TESSORA_SIM", nullptr);
  if (!started) return run;
  Handle process{child.hProcess};
  Handle thread{child.hThread};

  std::thread driver;
  if (during) driver = std::thread(during, child.dwProcessId);
  // Only the thread that started the child receives its debug events.
  DebugUntilExit(child, timeoutMs, run);
  if (driver.joinable()) driver.join();
  run.output = ReadFile(outputFile);
  return run;
}

}  // namespace tessora::test

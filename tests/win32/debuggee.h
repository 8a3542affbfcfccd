#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace tessora::test {

struct ProgramRun {
  bool exited = false;  // false: it did not end in time and was terminated
  DWORD exitStatus = 0;
  std::vector<std::string> debugLines;  // every OutputDebugStringA, in order
  std::string output;                   // its standard output and error
};

// Runs a shipped program of this build (build/<preset>/bin/<program>) under this process as
// its debugger, which is how its OutputDebugStringA texts are caught, with TESSORA_SIM set
// to boardDirectory (unset when empty). While it runs, `during` gets its process id on a
// thread of its own, to drive its windows; the run waits for both, at most timeoutMs for
// the program.
ProgramRun RunProgram(const std::string& program, const std::string& arguments, const std::string& boardDirectory,
                      const std::function<void(DWORD processId)>& during = {}, DWORD timeoutMs = 60000);

}  // namespace tessora::test

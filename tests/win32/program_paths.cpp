#include "tests/win32/program_paths.h"

#include <windows.h>

#include <filesystem>

namespace tessora::testing {

std::string TestProgramFolder() {
  char path[MAX_PATH] = {};
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return ".";
  return std::filesystem::path(path).parent_path().string();
}

std::string ShippedProgram(const std::string& name) {
  return (std::filesystem::path(TestProgramFolder()).parent_path() / "bin" / name).string();
}

}  // namespace tessora::testing

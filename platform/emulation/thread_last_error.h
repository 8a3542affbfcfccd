#pragma once
#include <cstdint>

namespace tessora {

// The calling thread's last error as the emulated stacks keep it for GetLastError: one per
// thread, whichever stack set it, as Windows keeps one for all its calls.
std::uint32_t ThreadLastError();
// Sets it and gives false, so that a failing call can end with `return FailWith(...)`.
bool FailWith(std::uint32_t error);

}  // namespace tessora

#pragma once
#include <string>

namespace tessora {

// The --help text.
std::string ConsoleUsage();

}  // namespace tessora

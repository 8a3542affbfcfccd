#pragma once
#include <string>

namespace tessora::testing {

// The folder of the running test program (build/<preset>/tests).
std::string TestProgramFolder();

// A shipped program of the same build, e.g. "tessora-sim.exe" in build/<preset>/bin.
std::string ShippedProgram(const std::string& name);

}  // namespace tessora::testing

#include "app/console/console_version.h"

namespace tessora {

// TESSORA_VERSION and TESSORA_BUILD_COMMIT come from the build's configuration.
std::string ToolVersion() { return TESSORA_VERSION " (commit " TESSORA_BUILD_COMMIT ")"; }

std::string VersionLine() { return "Tessora " + ToolVersion(); }

}  // namespace tessora

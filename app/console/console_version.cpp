#include "app/console/console_version.h"

namespace tessora {

// TESSORA_VERSION and TESSORA_BUILD_COMMIT come from the build's configuration.
std::string VersionLine() { return "Tessora " TESSORA_VERSION " (commit " TESSORA_BUILD_COMMIT ")"; }

}  // namespace tessora

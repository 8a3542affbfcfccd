#pragma once
#include <string>

namespace tessora {

// "Tessora VERSION (commit HASH)": the release and the commit the program was built from
// ("unknown" when it was built outside a git checkout).
std::string VersionLine();
// The same without the program's name, for a result record: "VERSION (commit HASH)".
std::string ToolVersion();

}  // namespace tessora

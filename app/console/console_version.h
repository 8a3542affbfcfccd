#pragma once
#include <string>

namespace tessora {

// "Tessora VERSION (commit HASH)": the release and the commit the program was built from
// ("unknown" when it was built outside a git checkout).
std::string VersionLine();

}  // namespace tessora

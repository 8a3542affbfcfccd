#pragma once

namespace tessora {

// Device paths name the same interface whatever the letter case; they are ASCII, so a
// byte-wise comparison in the C locale is the active code page's.
bool SamePathIgnoringCase(const char* a, const char* b);

}  // namespace tessora

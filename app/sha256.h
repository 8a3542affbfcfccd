#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessora {

// The SHA-256 digest of bytes, as 64 lower-case hex digits: what a log or a script keeps to
// tell which image went onto a board.
std::string Sha256Hex(std::string_view bytes);

// The digest of a file's whole content; none when it cannot be read.
std::optional<std::string> FileSha256Hex(const std::string& path);

}  // namespace tessora

#include "platform/posix/file_settings_store.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace tessora {

namespace fs = std::filesystem;

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsLineFor(const std::string& line, const char* name) {
  std::string prefix = std::string(name) + "=";
  return line.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

std::string FileSettingsStore::DefaultPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  fs::path base;
  if (config != nullptr && config[0] == '/') {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    base = fs::path(home != nullptr ? home : ".") / ".config";
  }
  return (base / "Velmora" / "tessora").string();
}

bool FileSettingsStore::Load() {
  std::ifstream in(path_);
  if (!in) return false;
  lines_.clear();
  std::string line;
  while (std::getline(in, line)) {
    // A file edited on Windows ends its lines with CR LF; the CR is part of the line end.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines_.push_back(line);
  }
  return !in.bad();
}

bool FileSettingsStore::OpenForQuery() {
  open_ = Load();
  return open_;
}

bool FileSettingsStore::OpenForWrite() {
  if (Load()) return open_ = true;
  std::error_code ignored;
  fs::create_directories(fs::path(path_).parent_path(), ignored);
  lines_.clear();
  open_ = Rewrite();
  return open_;
}

bool FileSettingsStore::QueryByte(const char* name, std::uint8_t& value) {
  if (!open_) return false;
  for (const std::string& line : lines_) {
    if (!IsLineFor(line, name)) continue;
    std::string digits = line.substr(std::string(name).size() + 1);
    if (digits.size() != 2 || HexValue(digits[0]) < 0 || HexValue(digits[1]) < 0) return false;
    value = static_cast<std::uint8_t>(HexValue(digits[0]) * 16 + HexValue(digits[1]));
    return true;
  }
  return false;
}

bool FileSettingsStore::WriteByte(const char* name, std::uint8_t value) {
  if (!open_) return false;
  char line[64];
  std::snprintf(line, sizeof line, "%s=%02X", name, value);
  bool replaced = false;
  for (std::string& existing : lines_) {
    if (!IsLineFor(existing, name)) continue;
    existing = line;
    replaced = true;
  }
  if (!replaced) lines_.push_back(line);
  return Rewrite();
}

// The file is replaced whole, so a crash mid-write cannot leave it half written.
bool FileSettingsStore::Rewrite() {
  std::string temporary = path_ + ".new";
  {
    std::ofstream out(temporary, std::ios::trunc);
    for (const std::string& line : lines_) out << line << '\n';
    out.close();
    if (!out) return false;
  }
  std::error_code failure;
  fs::rename(temporary, path_, failure);
  return !failure;
}

void FileSettingsStore::Close() { open_ = false; }

std::unique_ptr<SettingsStore> CreateNativeSettingsStore() {
  return std::make_unique<FileSettingsStore>(FileSettingsStore::DefaultPath());
}

}  // namespace tessora

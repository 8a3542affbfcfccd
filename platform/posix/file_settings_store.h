#pragma once
#include <map>
#include <string>
#include <vector>

#include "platform/settings_store.h"

namespace tessora {

// Settings in a text file: one NAME=HH line per value (two hex digits), in the order the
// values were first written. Lines it does not understand are kept as they are.
class FileSettingsStore : public SettingsStore {
 public:
  explicit FileSettingsStore(std::string path) : path_(std::move(path)) {}

  // $XDG_CONFIG_HOME/Velmora/tessora, or ~/.config/Velmora/tessora.
  static std::string DefaultPath();

  bool OpenForQuery() override;
  bool OpenForWrite() override;
  bool QueryByte(const char* name, std::uint8_t& value) override;
  bool WriteByte(const char* name, std::uint8_t value) override;
  void Close() override;

 private:
  bool Load();
  bool Rewrite();

  std::string path_;
  bool open_ = false;
  std::vector<std::string> lines_;
};

}  // namespace tessora

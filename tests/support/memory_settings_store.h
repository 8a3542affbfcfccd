#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/settings_store.h"

namespace tessora::test {

// Settings values kept in memory, with a switch to make the store fail.
class MemorySettingsStore : public SettingsStore {
 public:
  bool OpenForQuery() override { return open_ = exists && !failing; }
  bool OpenForWrite() override {
    if (failing) return false;
    exists = true;
    return open_ = true;
  }
  bool QueryByte(const char* name, std::uint8_t& value) override {
    auto found = values.find(name);
    if (!open_ || found == values.end() || found->second.size() != 1) return false;
    value = found->second[0];
    return true;
  }
  bool WriteByte(const char* name, std::uint8_t value) override {
    if (!open_) return false;
    values[name] = {value};
    writes.push_back(name);
    return true;
  }
  void Close() override { open_ = false; }

  bool exists = false;
  bool failing = false;
  std::map<std::string, std::vector<std::uint8_t>> values;
  std::vector<std::string> writes;  // names in write order

 private:
  bool open_ = false;
};

}  // namespace tessora::test

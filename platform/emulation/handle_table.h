#pragma once
#include <map>
#include <utility>

#include "platform/emulation/thread_last_error.h"
#include "platform/types.h"

namespace tessora {

// The handle values an emulated stack gives out: like Windows's, never null or
// INVALID_HANDLE_VALUE, multiples of four, and one series for every kind of handle, so
// that a handle of one kind is never taken for one of another.
class HandleNumbers {
 public:
  OsHandle Next() {
    OsHandle handle = next_;
    next_ += 4;
    return handle;
  }

 private:
  OsHandle next_ = 0x1000;
};

// The live handles of one kind, each with what it stands for.
template <typename Entry>
class HandleTable {
 public:
  explicit HandleTable(HandleNumbers& numbers) : numbers_(numbers) {}
  HandleTable(const HandleTable&) = delete;
  HandleTable& operator=(const HandleTable&) = delete;

  OsHandle Add(Entry entry) {
    OsHandle handle = numbers_.Next();
    entries_.emplace(handle, std::move(entry));
    return handle;
  }
  // Null, with ERROR_INVALID_HANDLE as the last error, unless it is a live handle of this kind.
  Entry* Find(OsHandle handle) {
    auto found = entries_.find(handle);
    if (found == entries_.end()) return FailWith(kErrorInvalidHandle), nullptr;
    return &found->second;
  }
  // False, with ERROR_INVALID_HANDLE as the last error, unless it was a live handle of this kind.
  bool Remove(OsHandle handle) { return entries_.erase(handle) == 1 || FailWith(kErrorInvalidHandle); }

  std::size_t Count() const { return entries_.size(); }
  bool Empty() const { return entries_.empty(); }
  // In the order the handles were given out.
  auto begin() { return entries_.begin(); }
  auto end() { return entries_.end(); }

 private:
  HandleNumbers& numbers_;
  std::map<OsHandle, Entry> entries_;
};

}  // namespace tessora

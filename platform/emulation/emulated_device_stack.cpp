// The thread's last error and the file handles of an emulated stack.
#include "platform/emulation/emulated_device_stack.h"

namespace tessora {

std::uint32_t EmulatedDeviceStack::GetLastError() { return ThreadLastError(); }

OsHandle EmulatedDeviceStack::CreateFileA(const char* path, std::uint32_t access, std::uint32_t /*shareMode*/,
                                          std::uint32_t creation, std::uint32_t flags) {
  if (path == nullptr || creation != kOpenExisting) return Fail(kErrorInvalidParameter), kInvalidHandle;
  std::unique_ptr<OpenFile> file = OpenInterface(path, access, flags);
  if (!file) return kInvalidHandle;
  file->flags = flags;
  std::lock_guard lock(mutex_);
  return files_.Add(std::move(file));
}

// Closing a handle ends its running read, as Windows does; the file goes once the read
// has let go of it.
bool EmulatedDeviceStack::CloseHandle(OsHandle handle) {
  std::unique_ptr<OpenFile> file;
  {
    std::lock_guard lock(mutex_);
    std::unique_ptr<OpenFile>* entry = files_.Find(handle);
    if (entry == nullptr) return false;
    file = std::move(*entry);
    files_.Remove(handle);
    if (file->read && !file->read->ended) CancelRead(*file, *file->read);
  }
  if (file->read) AwaitEnd(*file->read);
  return true;
}

EmulatedDeviceStack::OpenFile* EmulatedDeviceStack::FindFile(OsHandle handle) {
  std::unique_ptr<OpenFile>* entry = files_.Find(handle);
  return entry != nullptr ? entry->get() : nullptr;
}

void EmulatedDeviceStack::CloseEveryFile() {
  for (;;) {
    OsHandle handle = kNullHandle;
    {
      std::lock_guard lock(mutex_);
      if (files_.Empty()) return;
      handle = files_.begin()->first;
    }
    CloseHandle(handle);
  }
}

}  // namespace tessora

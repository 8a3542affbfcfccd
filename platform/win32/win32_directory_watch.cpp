// The simulated bench's watch on Windows: change notifications for the names in each board
// directory, where the `unplugged` file comes and goes.
#include <windows.h>

#include <vector>

#include "platform/device_watch.h"

namespace tessora {

namespace {

class Win32DirectoryWatch : public DeviceWatch {
 public:
  Win32DirectoryWatch() : wake_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
  ~Win32DirectoryWatch() override {
    for (HANDLE change : changes_) FindCloseChangeNotification(change);
    if (wake_ != nullptr) CloseHandle(wake_);
  }
  Win32DirectoryWatch(const Win32DirectoryWatch&) = delete;
  Win32DirectoryWatch& operator=(const Win32DirectoryWatch&) = delete;

  bool Add(const std::string& directory) {
    // One wait takes at most MAXIMUM_WAIT_OBJECTS handles, the wake event among them.
    if (wake_ == nullptr || changes_.size() + 1 >= MAXIMUM_WAIT_OBJECTS) return false;
    HANDLE change = FindFirstChangeNotificationA(directory.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
    if (change == INVALID_HANDLE_VALUE) return false;
    changes_.push_back(change);
    return true;
  }

  bool Wait(std::uint32_t timeoutMs) override {
    std::vector<HANDLE> handles(changes_);
    handles.push_back(wake_);
    DWORD ended = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, timeoutMs);
    if (ended == WAIT_TIMEOUT || ended == WAIT_FAILED) return false;
    std::size_t index = ended - WAIT_OBJECT_0;
    if (index < changes_.size()) FindNextChangeNotification(changes_[index]);
    return true;
  }
  void Wake() override { SetEvent(wake_); }

 private:
  HANDLE wake_;
  std::vector<HANDLE> changes_;
};

}  // namespace

std::unique_ptr<DeviceWatch> WatchDirectories(const std::vector<std::string>& directories) {
  auto watch = std::make_unique<Win32DirectoryWatch>();
  for (const std::string& directory : directories)
    if (!watch->Add(directory)) return nullptr;
  return watch;
}

}  // namespace tessora

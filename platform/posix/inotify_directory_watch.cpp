// The simulated bench's watch: a board directory gains or loses its `unplugged` file as the
// board is unplugged or plugged in.
#include <sys/inotify.h>
#include <unistd.h>

#include <memory>

#include "platform/device_watch.h"
#include "platform/posix/wakeable_wait.h"

namespace tessora {

namespace {

class InotifyDirectoryWatch : public DeviceWatch {
 public:
  InotifyDirectoryWatch() : inotify_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}
  bool Valid() const { return inotify_.Valid() && wait_.Valid(); }
  bool Add(const std::string& directory) {
    const std::uint32_t namesComeAndGo = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
    return inotify_add_watch(inotify_.Get(), directory.c_str(), namesComeAndGo) >= 0;
  }

  bool Wait(std::uint32_t timeoutMs) override {
    return wait_.Wait(inotify_.Get(), timeoutMs, [this] {
      // The events only say that something changed; the bench is listed again anyway.
      alignas(inotify_event) char events[4096];
      while (read(inotify_.Get(), events, sizeof events) > 0) {
      }
    });
  }
  void Wake() override { wait_.Wake(); }

 private:
  UniqueDescriptor inotify_;
  WakeableWait wait_;
};

}  // namespace

std::unique_ptr<DeviceWatch> WatchDirectories(const std::vector<std::string>& directories) {
  auto watch = std::make_unique<InotifyDirectoryWatch>();
  if (!watch->Valid()) return nullptr;
  for (const std::string& directory : directories)
    if (!watch->Add(directory)) return nullptr;
  return watch;
}

}  // namespace tessora

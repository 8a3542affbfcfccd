#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tessora {

// Tells a waiting program that devices may have come or gone, so that it lists them again
// only then instead of over and over.
class DeviceWatch {
 public:
  virtual ~DeviceWatch() = default;
  // Blocks until a device may have arrived or left, Wake() was called, or timeoutMs passed;
  // false when the time ran out with nothing seen. What was seen is consumed.
  virtual bool Wait(std::uint32_t timeoutMs) = 0;
  // From any thread: ends the Wait under way, or else the next one, at once.
  virtual void Wake() = 0;
};

// A watch on files made or removed in these directories (inotify on Linux, change
// notifications on Windows); null when the system refuses one of them.
std::unique_ptr<DeviceWatch> WatchDirectories(const std::vector<std::string>& directories);

}  // namespace tessora

#include "platform/posix/wakeable_wait.h"

#include <poll.h>
#include <sys/eventfd.h>

#include <cerrno>
#include <climits>

namespace tessora {

WakeableWait::WakeableWait() : wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

bool WakeableWait::Wait(int watched, std::uint32_t timeoutMs, const std::function<void()>& drain) {
  pollfd ends[2] = {{watched, POLLIN, 0}, {wake_.Get(), POLLIN, 0}};
  int timeout = timeoutMs > static_cast<std::uint32_t>(INT_MAX) ? INT_MAX : static_cast<int>(timeoutMs);
  int ready = poll(ends, 2, timeout);
  // A signal ends the wait as a wake does: the waiter looks at its stop request.
  if (ready < 0) return errno == EINTR;
  if (ready == 0) return false;
  if ((ends[0].revents & POLLIN) != 0) drain();
  if ((ends[1].revents & POLLIN) != 0) {
    eventfd_t count = 0;
    eventfd_read(wake_.Get(), &count);
  }
  return true;
}

void WakeableWait::Wake() { eventfd_write(wake_.Get(), 1); }

}  // namespace tessora

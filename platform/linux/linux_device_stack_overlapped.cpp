// Overlapped report reads of the Linux device stack: a read that no report completes at
// once is carried by a thread that polls the hidraw node together with a wake-up
// descriptor, so that cancelling and closing end the read at once.
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/linux/linux_device_stack.h"
#include "platform/linux/linux_errors.h"

namespace tessora::linuxstack {

// The carrier of a running read; it never takes the stack's lock.
void LinuxDeviceStack::WaitForReport(int descriptor, int wake, OverlappedTransfer* read, std::uint8_t* buffer,
                                     std::uint32_t size) {
  pollfd watched[2] = {{descriptor, POLLIN, 0}, {wake, POLLIN, 0}};
  for (;;) {
    if (::poll(watched, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return EndRead(*read, 0, LastErrorFromErrno(errno));
    }
    if (watched[1].revents != 0) return EndRead(*read, 0, kErrorOperationAborted);
    ssize_t got = ::read(descriptor, buffer, size);
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (got < 0) return EndRead(*read, 0, LastErrorFromErrno(errno));
    return EndRead(*read, static_cast<std::uint32_t>(got), kErrorSuccess);
  }
}

bool LinuxDeviceStack::ReadsReports(OpenFile& file) { return IsHidFile(static_cast<OpenNode&>(file), true); }

// A report already waiting completes the read at once.
bool LinuxDeviceStack::StartRead(OpenFile& file, OverlappedTransfer& read, void* buffer, std::uint32_t size) {
  auto& node = static_cast<OpenNode&>(file);
  if (!node.wake.Valid()) node.wake = UniqueDescriptor(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!node.wake.Valid()) return EndRead(read, 0, LastErrorFromErrno(errno)), true;
  // A wake-up left by an earlier read's cancelling is not this read's.
  std::uint64_t stale = 0;
  [[maybe_unused]] ssize_t drained = ::read(node.wake.Get(), &stale, sizeof stale);
  ssize_t got = ::read(node.descriptor.Get(), buffer, size);
  if (got >= 0) return EndRead(read, static_cast<std::uint32_t>(got), kErrorSuccess), true;
  if (errno != EAGAIN) return EndRead(read, 0, LastErrorFromErrno(errno)), true;
  read.carrier = std::thread(&LinuxDeviceStack::WaitForReport, this, node.descriptor.Get(), node.wake.Get(), &read,
                             static_cast<std::uint8_t*>(buffer), size);
  return false;
}

bool LinuxDeviceStack::CancelRead(OpenFile& file, OverlappedTransfer& /*read*/) {
  std::uint64_t one = 1;
  return ::write(static_cast<OpenNode&>(file).wake.Get(), &one, sizeof one) == sizeof one ||
         Fail(LastErrorFromErrno(errno));
}

}  // namespace tessora::linuxstack

// Overlapped report reads of the Linux device stack: a waiting thread per running read
// polls the hidraw node together with a wake-up descriptor, so that cancelling and closing
// end the read at once, and sets the record's event when the read has ended.
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/linux/linux_device_stack.h"
#include "platform/linux/linux_errors.h"

namespace tessora::linuxstack {

void LinuxDeviceStack::WaitForReport(OpenNode* file, std::uint8_t* buffer, std::uint32_t size) {
  PendingRead& read = *file->read;
  pollfd watched[2] = {{file->descriptor, POLLIN, 0}, {file->wake, POLLIN, 0}};
  for (;;) {
    if (::poll(watched, 2, -1) < 0) {
      if (errno == EINTR) continue;
      read.error = LastErrorFromErrno(errno);
      break;
    }
    if (watched[1].revents != 0) {
      read.error = kErrorOperationAborted;
      break;
    }
    ssize_t got = ::read(file->descriptor, buffer, size);
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (got < 0) read.error = LastErrorFromErrno(errno);
    else read.transferred = static_cast<std::uint32_t>(got);
    break;
  }
  read.ended = true;
  events_.SetEvent(read.event);
}

bool LinuxDeviceStack::ReadFileOverlapped(OsHandle device, void* buffer, std::uint32_t size,
                                          OverlappedIo& overlapped) {
  std::lock_guard lock(mutex_);
  OpenNode* file = HidFile(device, true);
  if (file == nullptr) return false;
  if ((file->flags & kFileFlagOverlapped) == 0 || buffer == nullptr || overlapped.event == kNullHandle)
    return Fail(kErrorInvalidParameter);
  if (file->read && !file->read->ended) return Fail(kErrorInvalidParameter);
  if (file->read && file->read->waiter.joinable()) file->read->waiter.join();
  if (file->wake < 0) file->wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (file->wake < 0) return Fail(LastErrorFromErrno(errno));

  // As on Windows, starting the transfer clears its event; a report already waiting
  // completes it at once.
  events_.ResetEvent(overlapped.event);
  file->read = std::make_unique<PendingRead>();
  file->read->record = &overlapped;
  file->read->event = overlapped.event;
  ssize_t got = ::read(file->descriptor, buffer, size);
  if (got >= 0 || errno != EAGAIN) {
    file->read->ended = true;
    if (got < 0) return Fail(file->read->error = LastErrorFromErrno(errno));
    file->read->transferred = static_cast<std::uint32_t>(got);
    return true;
  }
  file->read->waiter = std::thread(&LinuxDeviceStack::WaitForReport, this, file, static_cast<std::uint8_t*>(buffer), size);
  return Fail(kErrorIoPending);
}

bool LinuxDeviceStack::GetOverlappedResult(OsHandle device, OverlappedIo& overlapped, std::uint32_t* transferred,
                                           bool wait) {
  if (transferred != nullptr) *transferred = 0;
  std::unique_lock lock(mutex_);
  OpenNode* file = HidFile(device, true);
  if (file == nullptr) return false;
  PendingRead* read = file->read.get();
  if (read == nullptr || read->record != &overlapped) return Fail(kErrorInvalidParameter);
  if (!read->ended && !wait) return Fail(kErrorIoIncomplete);
  if (read->waiter.joinable()) {
    // The waiter never takes the lock, so it can end while this thread waits for it.
    std::thread waiter = std::move(read->waiter);
    lock.unlock();
    waiter.join();
    lock.lock();
    if (FindFile(device) == nullptr || file->read.get() != read) return Fail(kErrorOperationAborted);
  }
  if (transferred != nullptr) *transferred = read->transferred;
  return read->error == kErrorSuccess ? true : Fail(read->error);
}

bool LinuxDeviceStack::CancelIoEx(OsHandle device, OverlappedIo& overlapped) {
  std::lock_guard lock(mutex_);
  OpenNode* file = HidFile(device, true);
  if (file == nullptr) return false;
  if (!file->read || file->read->record != &overlapped || file->read->ended) return Fail(kErrorNotFound);
  std::uint64_t one = 1;
  return ::write(file->wake, &one, sizeof one) == sizeof one ? true : Fail(LastErrorFromErrno(errno));
}

void LinuxDeviceStack::EndPendingRead(OpenNode& file) {
  if (!file.read) return;
  if (!file.read->ended && file.wake >= 0) {
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t written = ::write(file.wake, &one, sizeof one);
  }
  if (file.read->waiter.joinable()) file.read->waiter.join();
}

}  // namespace tessora::linuxstack

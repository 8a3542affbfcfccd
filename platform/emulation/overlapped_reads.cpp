// Overlapped reads of an emulated stack: one read at a time per handle, its event cleared
// when it starts and set when it ends, its outcome kept until the next read on the handle.
#include "platform/emulation/emulated_device_stack.h"

namespace tessora {

void EmulatedDeviceStack::EndRead(OverlappedTransfer& read, std::uint32_t transferred, std::uint32_t error) {
  read.transferred = transferred;
  read.error = error;
  read.ended = true;
  events_->SetEvent(read.event);
}

// A read with a carrier ends when its carrier does. One without ends under the stack's
// lock, event and all, so the lock tells whether it has ended.
void EmulatedDeviceStack::AwaitEnd(OverlappedTransfer& read) {
  {
    std::lock_guard joining(read.joining);
    if (read.carrier.joinable()) {
      read.carrier.join();
      return;
    }
  }
  for (;;) {
    OsHandle event = kNullHandle;
    {
      std::lock_guard lock(mutex_);
      if (read.ended) return;
      event = read.event;
    }
    // Outside the lock: what ends the read comes from another thread.
    events_->WaitForMultipleObjects(1, &event, kInfinite);
  }
}

bool EmulatedDeviceStack::ReadFileOverlapped(OsHandle device, void* buffer, std::uint32_t size,
                                             OverlappedIo& overlapped) {
  std::lock_guard lock(mutex_);
  if (events_ == nullptr) return Fail(kErrorNotSupported);
  OpenFile* file = FindFile(device);
  if (file == nullptr || !ReadsReports(*file)) return false;
  if ((file->flags & kFileFlagOverlapped) == 0 || buffer == nullptr || overlapped.event == kNullHandle)
    return Fail(kErrorInvalidParameter);
  if (file->read && !file->read->ended) return Fail(kErrorInvalidParameter);
  if (file->read) AwaitEnd(*file->read);

  // As on Windows, starting the transfer clears its event.
  events_->ResetEvent(overlapped.event);
  file->read = std::make_shared<OverlappedTransfer>(overlapped);
  if (!StartRead(*file, *file->read, buffer, size)) return Fail(kErrorIoPending);
  return file->read->error == kErrorSuccess || Fail(file->read->error);
}

bool EmulatedDeviceStack::GetOverlappedResult(OsHandle device, OverlappedIo& overlapped, std::uint32_t* transferred,
                                              bool wait) {
  if (transferred != nullptr) *transferred = 0;
  std::shared_ptr<OverlappedTransfer> read;
  {
    std::lock_guard lock(mutex_);
    OpenFile* file = FindFile(device);
    if (file == nullptr) return false;
    if (!file->read || file->read->record != &overlapped) return Fail(kErrorInvalidParameter);
    if (!file->read->ended && !wait) return Fail(kErrorIoIncomplete);
    read = file->read;
  }
  // A read whose handle is closed meanwhile ends as cancelled, and says so.
  AwaitEnd(*read);
  if (transferred != nullptr) *transferred = read->transferred;
  return read->error == kErrorSuccess || Fail(read->error);
}

bool EmulatedDeviceStack::CancelIoEx(OsHandle device, OverlappedIo& overlapped) {
  std::lock_guard lock(mutex_);
  OpenFile* file = FindFile(device);
  if (file == nullptr) return false;
  if (!file->read || file->read->record != &overlapped || file->read->ended) return Fail(kErrorNotFound);
  return CancelRead(*file, *file->read);
}

}  // namespace tessora

// Overlapped report reads of the simulated system. A read stays pending until the device
// has an input report for it; the report is copied into the reader's buffer and the
// record's event is set, on whichever thread brought the report.
#include "sim/stack/sim_device_stack.h"

namespace tessora::sim {

void SimDeviceStack::DeliverInputReport(std::size_t interfaceIndex, std::vector<std::uint8_t> report) {
  std::lock_guard lock(mutex_);
  HidFace* face = interfaces_[interfaceIndex].hidFace;
  if (face == nullptr) return;
  face->QueueInput(std::move(report));
  CompleteOverlappedReads(interfaceIndex);
}

void SimDeviceStack::EndOverlappedRead(OverlappedRead& read, std::uint32_t transferred, std::uint32_t error) {
  read.ended = true;
  read.transferred = transferred;
  read.error = error;
  events_->SetEvent(read.event);
}

void SimDeviceStack::CompleteOverlappedReads(std::size_t interfaceIndex) {
  HidFace* face = interfaces_[interfaceIndex].hidFace;
  if (face == nullptr) return;
  for (auto& [handle, read] : overlappedReads_) {
    if (read.ended || handles_.at(handle).interfaceIndex != interfaceIndex) continue;
    if (!face->InputWaiting()) return;
    std::uint32_t got = 0;
    if (face->ReadInput(read.buffer, read.size, &got))
      EndOverlappedRead(read, got, kErrorSuccess);
    else
      EndOverlappedRead(read, 0, kErrorGenFailure);
  }
}

void SimDeviceStack::AbortOverlappedRead(OsHandle device) {
  auto found = overlappedReads_.find(device);
  if (found == overlappedReads_.end()) return;
  if (!found->second.ended) EndOverlappedRead(found->second, 0, kErrorOperationAborted);
  overlappedReads_.erase(found);
}

bool SimDeviceStack::ReadFileOverlapped(OsHandle device, void* buffer, std::uint32_t size, OverlappedIo& overlapped) {
  std::lock_guard lock(mutex_);
  if (events_ == nullptr) return Fail(kErrorNotSupported);
  SimInterface* interface = ConnectedInterface(device);
  if (interface == nullptr) return false;
  HandleEntry& entry = *Find(device, HandleKind::File);
  if ((entry.flags & kFileFlagOverlapped) == 0 || buffer == nullptr || overlapped.event == kNullHandle)
    return Fail(kErrorInvalidParameter);
  if (interface->hidFace == nullptr) return Fail(kErrorInvalidFunction);
  auto running = overlappedReads_.find(device);
  if (running != overlappedReads_.end() && !running->second.ended) return Fail(kErrorInvalidParameter);

  // As on Windows, starting the transfer clears its event.
  events_->ResetEvent(overlapped.event);
  OverlappedRead& read = overlappedReads_[device];
  read = OverlappedRead{&overlapped, overlapped.event, static_cast<std::uint8_t*>(buffer), size};
  CompleteOverlappedReads(entry.interfaceIndex);
  if (!read.ended) return Fail(kErrorIoPending);
  return read.error == kErrorSuccess ? true : Fail(read.error);
}

bool SimDeviceStack::GetOverlappedResult(OsHandle device, OverlappedIo& overlapped, std::uint32_t* transferred,
                                         bool wait) {
  for (;;) {
    OsHandle event = kNullHandle;
    {
      std::lock_guard lock(mutex_);
      if (transferred != nullptr) *transferred = 0;
      if (Find(device, HandleKind::File) == nullptr) return false;
      auto found = overlappedReads_.find(device);
      if (found == overlappedReads_.end() || found->second.record != &overlapped) return Fail(kErrorInvalidParameter);
      const OverlappedRead& read = found->second;
      if (read.ended) {
        if (transferred != nullptr) *transferred = read.transferred;
        return read.error == kErrorSuccess ? true : Fail(read.error);
      }
      if (!wait) return Fail(kErrorIoIncomplete);
      event = read.event;
    }
    // Outside the lock: the report that ends the read comes from another thread.
    events_->WaitForMultipleObjects(1, &event, kInfinite);
  }
}

bool SimDeviceStack::CancelIoEx(OsHandle device, OverlappedIo& overlapped) {
  std::lock_guard lock(mutex_);
  if (Find(device, HandleKind::File) == nullptr) return false;
  auto found = overlappedReads_.find(device);
  if (found == overlappedReads_.end() || found->second.record != &overlapped || found->second.ended)
    return Fail(kErrorNotFound);
  EndOverlappedRead(found->second, 0, kErrorOperationAborted);
  return true;
}

}  // namespace tessora::sim

// hidDeviceClass: overlapped input reads and the reader thread that hands each report
// to the callback.
#include <system_error>

#include "hid/hid_device.h"
#include "platform/overlapped_read.h"

namespace tessora {

std::int32_t hidDeviceClass::ReadInputReportOverlapped(std::uint8_t wait, std::uint32_t milliseconds) {
  // No input buffer: closed, or a device without input reports.
  if (!inputBuffer) return -1;
  OverlappedRead read(context_.stack, readHandle.Get(), readEvent.Handle());
  bool completedAtOnce = read.Start(inputBuffer.get(), inputReportLength);
  if (wait != 1) return completedAtOnce ? 1 : 0;
  // A read that could not start would leave the wait to the stop event alone.
  if (!read.Started()) return -1;

  const OsHandle events[2] = {stopEvent.Handle(), readEvent.Handle()};
  std::uint32_t waited = context_.os.WaitForMultipleObjects(2, events, milliseconds);
  std::uint32_t transferred = 0;
  if (read.Collect(transferred) && transferred == inputReportLength) return static_cast<std::int32_t>(waited);
  return -1;
}

void hidDeviceClass::SetInputCallback(HidInputCallback newCallback, std::uintptr_t newContext) {
  callback = newCallback;
  callbackContext = newContext;
}

bool hidDeviceClass::OnInputReport() { return callback != nullptr && callback(callbackContext, *this); }

std::uint32_t hidDeviceClass::ReaderThread() {
  for (;;) {
    std::int32_t result = ReadInputReportOverlapped(1, kInfinite);
    if (result == 0) return kReaderStopped;
    if (result == -1) return kReaderReadFailed;
    if (result == 1 && !OnInputReport()) return kReaderEndedByCallback;
    if (closedByReader_) return kReaderStopped;
  }
}

bool hidDeviceClass::StartReader() {
  if (!isOpen || readerRunning_.load()) return false;
  JoinReader();
  readerRunning_ = true;
  closedByReader_ = false;
  try {
    readerThread = std::thread(&hidDeviceClass::RunReader, this);
  } catch (const std::system_error&) {
    readerRunning_ = false;
    return false;
  }
  // Gives the reader time to put its first read under way.
  context_.os.Sleep(10);
  return true;
}

void hidDeviceClass::RunReader() {
  readerExitCode_ = ReaderThread();
  readerRunning_ = false;
}

void hidDeviceClass::JoinReader() {
  if (readerThread.joinable()) readerThread.join();
}

}  // namespace tessora

#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <thread>

#include "hid/hid_context.h"
#include "hid/hid_report_port.h"
#include "platform/event.h"
#include "platform/stack_handle.h"

namespace tessora {

class hidDeviceClass;

// Called on the reader thread once per complete input report; false ends the reader.
using HidInputCallback = bool (*)(std::uintptr_t context, hidDeviceClass& device);

// A device-interface arrival or removal as the platform announced it
// (DEV_BROADCAST_DEVICEINTERFACE_A): the interface class and the interface path.
struct DeviceInterfaceNotice {
  Guid classGuid{};
  std::string_view name;
};

// Exit codes of ReaderThread.
constexpr std::uint32_t kReaderEndedByCallback = 1;  // OnInputReport returned false
constexpr std::uint32_t kReaderStopped = 2;          // stop event, with a whole report read as well
constexpr std::uint32_t kReaderReadFailed = 3;       // read failed, came up short, or was pending at stop

constexpr std::size_t kHidSerialTextSize = 32;

// One HID device, opened by interface path or found in the context's HidDeviceTable by
// vendor ID, product ID and product text, and the reports it moves. Everything but the
// reader thread runs on the owner's thread. A derived class that overrides
// OnInputReport must Close in its own destructor, so that the reader has ended before
// the override goes away.
class hidDeviceClass : public HidReportPort {
 public:
  explicit hidDeviceClass(HidContext& context);
  ~hidDeviceClass() override;
  hidDeviceClass(const hidDeviceClass&) = delete;
  hidDeviceClass& operator=(const hidDeviceClass&) = delete;

  // Back to the closed state's values (closing first when open); the product and serial
  // texts stay.
  void Reset();
  // Opens the device; the result is told by IsOpen. An open object is closed first.
  void OpenPath(const char* path);
  // Refills the device table and opens the first match; false without touching the
  // object when no HID interface is present.
  bool OpenFirstMatch(std::uint16_t vendorId, std::uint16_t productId, const char* productText);
  // Closes, then opens the next matching entry from the cursor on; a product text of
  // none is compared as "unknown". Matches that cannot be opened are passed over.
  bool OpenNextMatch(std::uint16_t vendorId, std::uint16_t productId, const char* productText);
  // Ends the reader (its pending read cancelled, the thread joined) before the handles,
  // events and buffers go. Nothing happens on a closed object. Never call it from the
  // input callback.
  void Close() override;

  bool IsOpen() const override { return isOpen; }
  std::uint16_t FeatureReportLength() const override { return featureReportLength; }
  std::uint16_t InputReportLength() const override { return inputReportLength; }
  std::uint16_t OutputReportLength() const override { return outputReportLength; }
  std::uint16_t VendorId() const { return vendorId; }
  std::uint16_t ProductId() const { return productId; }
  const char* ProductText() const { return productText; }
  const char* SerialText() const { return serialText; }
  const char* DevicePath() const { return devicePath; }

  // One platform call each on the I/O handle; neither the length nor the state is checked.
  bool SetFeatureReport(std::uint8_t* buffer, std::uint32_t length) override;
  bool GetFeatureReport(std::uint8_t* buffer, std::uint32_t length) override;
  bool WriteReport(std::uint8_t* buffer, std::uint32_t length) override;
  std::uint32_t ReadReport(std::uint8_t* buffer, std::uint32_t length) override;

  // One overlapped read of a whole input report into the input buffer. Without wait: 1
  // when a report was there at once, else 0. With wait: the wait's result (0 stop, 1
  // read, kWaitTimeout) when a complete report arrived, else -1. No read is left
  // running when it returns.
  std::int32_t ReadInputReportOverlapped(std::uint8_t wait, std::uint32_t milliseconds);
  // Set before StartReader; the reader reads both without a lock.
  void SetInputCallback(HidInputCallback newCallback, std::uintptr_t newContext);
  // Starts the reader thread on an open object that has none running.
  virtual bool StartReader();
  // The reader's loop; returns its exit code.
  std::uint32_t ReaderThread();
  // The exit code of the last reader that ended, 0 when none has.
  std::uint32_t ReaderExitCode() const { return readerExitCode_.load(); }
  // The last input report, InputReportLength bytes with the report ID in byte 0.
  const std::uint8_t* InputReport() const { return inputBuffer.get(); }
  virtual bool OnInputReport();

  // Opens the announced device and keeps it only when it matches; false when it was
  // opened and closed again.
  virtual bool OnDeviceArrival(const DeviceInterfaceNotice& notice, std::uint16_t wantedVendorId,
                               std::uint16_t wantedProductId, const char* wantedProductText);
  // True when the announced device is this object's, which is then closed.
  virtual bool OnDeviceRemoval(const DeviceInterfaceNotice& notice);
  virtual void OnDeviceRemoved();

 protected:
  // Called in this order at the end of every open whose descriptor data could be read.
  virtual void OpenHook1() {}
  virtual void OpenHook2() {}
  virtual void OpenHook3() {}

  HidContext& context_;
  bool isOpen = false;
  char devicePath[kHidPathSize] = {};
  FileHandle ioHandle;    // blocking queries and transfers
  FileHandle readHandle;  // overlapped input reads only
  Event stopEvent;        // waited on together with readEvent: index 0
  Event readEvent;        // index 1
  std::uint16_t vendorId = 0xFFFF;
  std::uint16_t productId = 0xFFFF;
  std::uint16_t inputReportLength = 0;
  std::uint16_t outputReportLength = 0;
  std::uint16_t featureReportLength = 0;
  char productText[kHidProductTextSize] = {};
  char serialText[kHidSerialTextSize] = {};
  std::unique_ptr<std::uint8_t[]> inputBuffer;
  std::unique_ptr<std::uint8_t[]> outputBuffer;
  std::unique_ptr<std::uint8_t[]> featureBuffer;
  std::thread readerThread;
  HidInputCallback callback = nullptr;
  std::uintptr_t callbackContext = 0;

 private:
  // Steps of an open after the handles exist; false when the descriptor data is missing.
  bool ReadDeviceDetails();
  void ReadDeviceText(bool (DeviceStack::*query)(OsHandle, char16_t*, std::uint32_t), char* text,
                      std::size_t textSize);
  void RunReader();
  void JoinReader();

  std::atomic<bool> readerRunning_{false};
  bool closedByReader_ = false;  // the callback closed the object; cleared before the reader starts
  std::atomic<std::uint32_t> readerExitCode_{0};
};

}  // namespace tessora

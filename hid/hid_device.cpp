// hidDeviceClass: construction, reset, opening by path or by match, closing.
#include "hid/hid_device.h"

#include <cstring>
#include <new>

#include "hid/hid_enumeration.h"
#include "hid/hid_text.h"

namespace tessora {

namespace {

constexpr std::uint32_t kShareReadWrite = kFileShareRead | kFileShareWrite;

std::unique_ptr<std::uint8_t[]> AllocateReport(std::uint16_t length) {
  if (length == 0) return nullptr;
  return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[length]());
}

}  // namespace

hidDeviceClass::hidDeviceClass(HidContext& context) : context_(context) { Reset(); }

hidDeviceClass::~hidDeviceClass() {
  hidDeviceClass::Close();
  // A reader that closed the object from its callback is still to be joined.
  JoinReader();
}

void hidDeviceClass::Reset() {
  if (isOpen) Close();
  vendorId = 0xFFFF;
  productId = 0xFFFF;
  ioHandle.Close();
  std::memset(devicePath, 0, sizeof devicePath);
  isOpen = false;
  inputBuffer.reset();
  outputBuffer.reset();
  featureBuffer.reset();
  inputReportLength = 0;
  outputReportLength = 0;
  featureReportLength = 0;
  callback = nullptr;
  callbackContext = 0;
}

void hidDeviceClass::OpenPath(const char* path) {
  if (path == nullptr) return;
  if (isOpen) Close();
  // Removal notices are matched against the whole path, so it has to fit.
  char wholePath[kHidPathSize];
  if (!CopyTextIfFits(path, wholePath, sizeof wholePath)) return;

  DeviceStack& stack = context_.stack;
  FileHandle io(stack, stack.CreateFileA(path, kGenericRead | kGenericWrite, kShareReadWrite, kOpenExisting, 0));
  if (!io.Valid()) return;
  FileHandle read(stack, stack.CreateFileA(path, kGenericRead | kGenericWrite, kShareReadWrite, kOpenExisting,
                                           kFileFlagOverlapped));
  if (!read.Valid()) return;
  Event readDone = Event::Create(context_.os);
  if (!readDone.Valid()) return;
  Event stop = Event::Create(context_.os);
  if (!stop.Valid()) return;

  ioHandle = std::move(io);
  readHandle = std::move(read);
  readEvent = std::move(readDone);
  stopEvent = std::move(stop);
  isOpen = true;
  std::memcpy(devicePath, wholePath, sizeof devicePath);

  if (!ReadDeviceDetails()) return;
  OpenHook1();
  OpenHook2();
  OpenHook3();
}

bool hidDeviceClass::ReadDeviceDetails() {
  DeviceStack& stack = context_.stack;
  OsHandle descriptor = kNullHandle;
  if (!stack.HidD_GetPreparsedData(ioHandle.Get(), &descriptor)) return false;
  PreparsedData preparsed(stack, descriptor);

  HidAttributes attributes;
  if (stack.HidD_GetAttributes(ioHandle.Get(), attributes)) {
    vendorId = attributes.vendorId;
    productId = attributes.productId;
  }
  HidCaps caps;
  if (stack.HidP_GetCaps(preparsed.Get(), caps)) {
    inputReportLength = caps.inputReportByteLength;
    outputReportLength = caps.outputReportByteLength;
    featureReportLength = caps.featureReportByteLength;
  }
  inputBuffer = AllocateReport(inputReportLength);
  outputBuffer = AllocateReport(outputReportLength);
  featureBuffer = AllocateReport(featureReportLength);
  ReadDeviceText(&DeviceStack::HidD_GetProductString, productText, sizeof productText);
  ReadDeviceText(&DeviceStack::HidD_GetSerialNumberString, serialText, sizeof serialText);
  return true;
}

// The string arrives as UTF-16 in as many bytes as the text field has.
void hidDeviceClass::ReadDeviceText(bool (DeviceStack::*query)(OsHandle, char16_t*, std::uint32_t), char* text,
                                    std::size_t textSize) {
  char16_t units[kHidProductTextSize / sizeof(char16_t)] = {};
  std::size_t bytes = textSize < sizeof units ? textSize : sizeof units;
  if ((context_.stack.*query)(ioHandle.Get(), units, static_cast<std::uint32_t>(bytes)))
    NarrowToLowBytes(units, bytes / sizeof(char16_t), text, textSize);
  else
    CopyTextIfFits(kUnknownText, text, textSize);
}

bool hidDeviceClass::OpenFirstMatch(std::uint16_t wantedVendorId, std::uint16_t wantedProductId,
                                    const char* wantedProductText) {
  context_.HidDeviceCursor = 0;
  context_.HidDeviceCount = EnumerateHidDevices(context_);
  if (context_.HidDeviceCount == 0) return false;
  return OpenNextMatch(wantedVendorId, wantedProductId, wantedProductText);
}

bool hidDeviceClass::OpenNextMatch(std::uint16_t wantedVendorId, std::uint16_t wantedProductId,
                                   const char* wantedProductText) {
  const char* wanted = TextOrUnknown(wantedProductText);
  if (isOpen) Close();
  std::uint32_t count = context_.HidDeviceCount < kHidDeviceTableSize ? context_.HidDeviceCount
                                                                       : static_cast<std::uint32_t>(kHidDeviceTableSize);
  // A scan that opens nothing must not use up the entries of the devices still to come
  // in the candidate walk: it moves the cursor only past the matches it could not open.
  std::uint32_t resume = context_.HidDeviceCursor;
  while (context_.HidDeviceCursor < count) {
    const HidDeviceEntry& entry = context_.HidDeviceTable[context_.HidDeviceCursor++];
    if (entry.vendorId != wantedVendorId || entry.productId != wantedProductId) continue;
    if (std::strcmp(entry.productText, wanted) != 0) continue;
    OpenPath(entry.path);
    if (isOpen) return true;
    resume = context_.HidDeviceCursor;
  }
  context_.HidDeviceCursor = resume;
  return false;
}

void hidDeviceClass::Close() {
  if (!isOpen) return;
  isOpen = false;
  stopEvent.Set();
  // The reader wakes on the stop event and cancels its own read before it ends. Called
  // from the reader's own callback, no read is under way and the loop ends by itself
  // once the callback returns; a thread cannot join itself.
  if (std::this_thread::get_id() == readerThread.get_id()) closedByReader_ = true;
  else JoinReader();
  ioHandle.Close();
  readHandle.Close();
  readEvent.Close();
  stopEvent.Close();
  inputBuffer.reset();
  outputBuffer.reset();
  featureBuffer.reset();
  Reset();
}

}  // namespace tessora

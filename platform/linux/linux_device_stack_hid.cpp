// The HID class calls of the Linux device stack, over hidraw.
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/hid_string.h"
#include "platform/linux/linux_device_stack.h"
#include "platform/linux/linux_errors.h"

namespace tessora::linuxstack {

namespace {

// UTF-8 as the kernel hands USB strings over, to the UTF-16 of HID.DLL; a malformed
// sequence becomes U+FFFD.
std::u16string Utf16(const std::string& text) {
  std::u16string units;
  for (std::size_t i = 0; i < text.size();) {
    unsigned char lead = static_cast<unsigned char>(text[i]);
    std::size_t extra = lead < 0x80 ? 0 : (lead >> 5) == 6 ? 1 : (lead >> 4) == 14 ? 2 : (lead >> 3) == 30 ? 3 : 9;
    char32_t code = extra == 0 ? lead : extra == 1 ? lead & 0x1F : extra == 2 ? lead & 0x0F : lead & 0x07;
    bool valid = extra <= 3 && i + extra < text.size();
    for (std::size_t k = 1; valid && k <= extra; ++k) {
      unsigned char next = static_cast<unsigned char>(text[i + k]);
      valid = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3F);
    }
    if (!valid) code = 0xFFFD, extra = 0;
    if (code >= 0x10000) {
      units += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
      units += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      units += static_cast<char16_t>(code);
    }
    i += 1 + extra;
  }
  return units;
}

}  // namespace

// A query-only handle has no node open.
bool LinuxDeviceStack::IsHidFile(const OpenNode& file, bool needsDescriptor) {
  if (file.node.kind != NodeKind::Hidraw) return Fail(kErrorInvalidFunction);
  return !needsDescriptor || file.descriptor.Valid() || Fail(kErrorAccessDenied);
}

// The HID handle behind `handle`; with needsDescriptor, only one opened for reading and
// writing.
LinuxDeviceStack::OpenNode* LinuxDeviceStack::HidFile(OsHandle handle, bool needsDescriptor) {
  OpenNode* file = FindNodeFile(handle);
  return file != nullptr && IsHidFile(*file, needsDescriptor) ? file : nullptr;
}

bool LinuxDeviceStack::HidD_GetAttributes(OsHandle device, HidAttributes& attributes) {
  std::lock_guard lock(mutex_);
  OpenNode* file = HidFile(device, false);
  if (file == nullptr) return false;
  attributes = HidAttributes{file->node.vendorId, file->node.productId, file->node.version};
  if (!file->descriptor.Valid()) return true;
  hidraw_devinfo info{};
  if (::ioctl(file->descriptor.Get(), HIDIOCGRAWINFO, &info) < 0) return Fail(LastErrorFromErrno(errno));
  attributes.vendorId = static_cast<std::uint16_t>(info.vendor);
  attributes.productId = static_cast<std::uint16_t>(info.product);
  return true;
}

// A USB string of the device, which HID.DLL fails when the device has none.
bool LinuxDeviceStack::HidString(OsHandle device, bool LinuxNode::*present, std::string LinuxNode::*text,
                                 char16_t* buffer, std::uint32_t bufferBytes) {
  std::lock_guard lock(mutex_);
  OpenNode* file = HidFile(device, false);
  if (file == nullptr) return false;
  if (buffer == nullptr || !(file->node.*present)) return Fail(kErrorGenFailure);
  CopyHidString(Utf16(file->node.*text), buffer, bufferBytes);
  return true;
}

bool LinuxDeviceStack::HidD_GetProductString(OsHandle device, char16_t* buffer, std::uint32_t bufferBytes) {
  return HidString(device, &LinuxNode::hasProduct, &LinuxNode::product, buffer, bufferBytes);
}

bool LinuxDeviceStack::HidD_GetSerialNumberString(OsHandle device, char16_t* buffer, std::uint32_t bufferBytes) {
  return HidString(device, &LinuxNode::hasSerial, &LinuxNode::serial, buffer, bufferBytes);
}

bool LinuxDeviceStack::ReadDescriptor(const OpenNode& file, std::vector<std::uint8_t>& descriptor) {
  if (!file.descriptor.Valid()) {
    descriptor = file.node.descriptors;
    return !descriptor.empty() || Fail(kErrorGenFailure);
  }
  int size = 0;
  if (::ioctl(file.descriptor.Get(), HIDIOCGRDESCSIZE, &size) < 0) return Fail(LastErrorFromErrno(errno));
  if (size <= 0 || size > HID_MAX_DESCRIPTOR_SIZE) return Fail(kErrorGenFailure);
  hidraw_report_descriptor raw{};
  raw.size = static_cast<std::uint32_t>(size);
  if (::ioctl(file.descriptor.Get(), HIDIOCGRDESC, &raw) < 0) return Fail(LastErrorFromErrno(errno));
  descriptor.assign(raw.value, raw.value + (raw.size <= HID_MAX_DESCRIPTOR_SIZE ? raw.size : 0));
  return true;
}

bool LinuxDeviceStack::HidD_GetPreparsedData(OsHandle device, OsHandle* preparsed) {
  std::lock_guard lock(mutex_);
  OpenNode* file = HidFile(device, false);
  if (file == nullptr) return false;
  std::vector<std::uint8_t> descriptor;
  if (preparsed == nullptr || !ReadDescriptor(*file, descriptor)) return false;
  HidReportLayout layout = ParseHidReportDescriptor(descriptor);
  if (!layout.valid) return Fail(kErrorGenFailure);
  *preparsed = preparsed_.Add(layout);
  return true;
}

bool LinuxDeviceStack::HidD_FreePreparsedData(OsHandle preparsed) {
  std::lock_guard lock(mutex_);
  return preparsed_.Remove(preparsed);
}

bool LinuxDeviceStack::HidP_GetCaps(OsHandle preparsed, HidCaps& caps) {
  std::lock_guard lock(mutex_);
  const HidReportLayout* layout = preparsed_.Find(preparsed);
  if (layout == nullptr) return false;
  caps = HidCaps{layout->usage, layout->usagePage, layout->inputLength, layout->outputLength, layout->featureLength};
  return true;
}

bool LinuxDeviceStack::HidP_HasFeatureReportId(OsHandle preparsed, std::uint8_t reportId) {
  std::lock_guard lock(mutex_);
  const HidReportLayout* layout = preparsed_.Find(preparsed);
  return layout != nullptr && layout->featureReportIds.test(reportId);
}

// HID.DLL refuses a feature report the device's descriptor does not declare; hidraw would
// send it to whatever device the node is, a keyboard as well as another maker's device.
bool LinuxDeviceStack::FeatureRequestAllowed(const OpenNode& file, const void* report, std::uint32_t length) {
  if (report == nullptr || length == 0) return Fail(kErrorInvalidParameter);
  return file.featureReports.test(*static_cast<const std::uint8_t*>(report)) || Fail(kErrorInvalidParameter);
}

bool LinuxDeviceStack::HidD_SetFeature(OsHandle device, const void* report, std::uint32_t length) {
  std::lock_guard lock(mutex_);
  OpenNode* file = HidFile(device, true);
  if (file == nullptr || !FeatureRequestAllowed(*file, report, length)) return false;
  if (::ioctl(file->descriptor.Get(), HIDIOCSFEATURE(length), report) < 0) return Fail(LastErrorFromErrno(errno));
  return true;
}

// A report shorter than asked leaves the rest of the buffer as it was, which the caller
// would take for the device's answer: it fails instead.
bool LinuxDeviceStack::HidD_GetFeature(OsHandle device, void* report, std::uint32_t length) {
  std::lock_guard lock(mutex_);
  OpenNode* file = HidFile(device, true);
  if (file == nullptr || !FeatureRequestAllowed(*file, report, length)) return false;
  int got = ::ioctl(file->descriptor.Get(), HIDIOCGFEATURE(length), report);
  if (got < 0) return Fail(LastErrorFromErrno(errno));
  return static_cast<std::uint32_t>(got) >= length || Fail(kErrorGenFailure);
}

bool LinuxDeviceStack::WriteFile(OsHandle device, const void* buffer, std::uint32_t size, std::uint32_t* written) {
  if (written != nullptr) *written = 0;
  std::lock_guard lock(mutex_);
  OpenNode* file = HidFile(device, true);
  if (file == nullptr) return false;
  ssize_t sent = ::write(file->descriptor.Get(), buffer, size);
  if (sent < 0) return Fail(LastErrorFromErrno(errno));
  if (written != nullptr) *written = static_cast<std::uint32_t>(sent);
  return true;
}

// Blocks until the device delivers an input report, as ReadFile does on Windows; a node
// that goes away wakes it with an error.
bool LinuxDeviceStack::ReadFile(OsHandle device, void* buffer, std::uint32_t size, std::uint32_t* read) {
  if (read != nullptr) *read = 0;
  int descriptor = -1;
  {
    std::lock_guard lock(mutex_);
    OpenNode* file = HidFile(device, true);
    if (file == nullptr) return false;
    descriptor = file->descriptor.Get();
  }
  pollfd readable{descriptor, POLLIN, 0};
  while (::poll(&readable, 1, -1) < 0 && errno == EINTR) {
  }
  ssize_t got = ::read(descriptor, buffer, size);
  if (got < 0) return Fail(LastErrorFromErrno(errno));
  if (read != nullptr) *read = static_cast<std::uint32_t>(got);
  return true;
}

}  // namespace tessora::linuxstack

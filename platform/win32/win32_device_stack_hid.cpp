// The HID class calls and the report reads and writes of the Windows device stack:
// HID.DLL and KERNEL32, passed through with their own results and last-error codes.
#include <windows.h>

// MinGW's HID header declares the HID.DLL calls without C linkage.
extern "C" {
#include <hidsdi.h>
}

#include <cstring>
#include <new>
#include <vector>

#include "platform/win32/win32_device_stack.h"

namespace tessora {

namespace {

static_assert(sizeof(Guid) == sizeof(GUID), "Guid and GUID must share their layout");
static_assert(sizeof(OVERLAPPED) <= sizeof(OverlappedIo::backend), "OVERLAPPED must fit the transfer record");
static_assert(alignof(OVERLAPPED) <= 8, "OVERLAPPED must fit the record's alignment");

HANDLE ToHandle(OsHandle handle) { return reinterpret_cast<HANDLE>(handle); }

PHIDP_PREPARSED_DATA ToPreparsed(OsHandle preparsed) { return reinterpret_cast<PHIDP_PREPARSED_DATA>(preparsed); }

// Whether any of the `count` items a HidP_Get...Caps query gives belongs to the report.
template <typename Item, typename Query>
bool AnyItemOfReport(USHORT count, Query query, std::uint8_t reportId) {
  std::vector<Item> items(count);
  if (count == 0 || query(items.data(), &count) != HIDP_STATUS_SUCCESS) return false;
  for (USHORT i = 0; i < count && i < items.size(); ++i)
    if (items[i].ReportID == reportId) return true;
  return false;
}

OVERLAPPED* Record(OverlappedIo& overlapped) {
  return std::launder(reinterpret_cast<OVERLAPPED*>(overlapped.backend));
}

}  // namespace

Guid Win32DeviceStack::HidD_GetHidGuid() {
  GUID native{};
  ::HidD_GetHidGuid(&native);
  Guid guid{};
  std::memcpy(&guid, &native, sizeof guid);
  return guid;
}

bool Win32DeviceStack::HidD_GetAttributes(OsHandle device, HidAttributes& attributes) {
  HIDD_ATTRIBUTES native{};
  native.Size = sizeof native;
  if (!::HidD_GetAttributes(ToHandle(device), &native)) return false;
  attributes = HidAttributes{native.VendorID, native.ProductID, native.VersionNumber};
  return true;
}

bool Win32DeviceStack::HidD_GetProductString(OsHandle device, char16_t* buffer, std::uint32_t bufferBytes) {
  return ::HidD_GetProductString(ToHandle(device), buffer, bufferBytes) != FALSE;
}

bool Win32DeviceStack::HidD_GetSerialNumberString(OsHandle device, char16_t* buffer, std::uint32_t bufferBytes) {
  return ::HidD_GetSerialNumberString(ToHandle(device), buffer, bufferBytes) != FALSE;
}

bool Win32DeviceStack::HidD_GetPreparsedData(OsHandle device, OsHandle* preparsed) {
  if (preparsed == nullptr) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  PHIDP_PREPARSED_DATA native = nullptr;
  if (!::HidD_GetPreparsedData(ToHandle(device), &native)) return false;
  *preparsed = reinterpret_cast<OsHandle>(native);
  return true;
}

bool Win32DeviceStack::HidD_FreePreparsedData(OsHandle preparsed) {
  return ::HidD_FreePreparsedData(ToPreparsed(preparsed)) != FALSE;
}

bool Win32DeviceStack::HidP_GetCaps(OsHandle preparsed, HidCaps& caps) {
  HIDP_CAPS native{};
  if (::HidP_GetCaps(ToPreparsed(preparsed), &native) != HIDP_STATUS_SUCCESS) return false;
  caps.usage = native.Usage;
  caps.usagePage = native.UsagePage;
  caps.inputReportByteLength = native.InputReportByteLength;
  caps.outputReportByteLength = native.OutputReportByteLength;
  caps.featureReportByteLength = native.FeatureReportByteLength;
  return true;
}

// A feature report is declared by the value and button items it carries.
bool Win32DeviceStack::HidP_HasFeatureReportId(OsHandle preparsed, std::uint8_t reportId) {
  PHIDP_PREPARSED_DATA data = ToPreparsed(preparsed);
  HIDP_CAPS caps{};
  if (::HidP_GetCaps(data, &caps) != HIDP_STATUS_SUCCESS) return false;
  auto values = [data](HIDP_VALUE_CAPS* items, USHORT* count) {
    return ::HidP_GetValueCaps(HidP_Feature, items, count, data);
  };
  auto buttons = [data](HIDP_BUTTON_CAPS* items, USHORT* count) {
    return ::HidP_GetButtonCaps(HidP_Feature, items, count, data);
  };
  return AnyItemOfReport<HIDP_VALUE_CAPS>(caps.NumberFeatureValueCaps, values, reportId) ||
         AnyItemOfReport<HIDP_BUTTON_CAPS>(caps.NumberFeatureButtonCaps, buttons, reportId);
}

bool Win32DeviceStack::HidD_SetFeature(OsHandle device, const void* report, std::uint32_t length) {
  // HID.DLL takes a writable buffer but only reads the report it sends.
  return ::HidD_SetFeature(ToHandle(device), const_cast<void*>(report), length) != FALSE;
}

bool Win32DeviceStack::HidD_GetFeature(OsHandle device, void* report, std::uint32_t length) {
  return ::HidD_GetFeature(ToHandle(device), report, length) != FALSE;
}

bool Win32DeviceStack::WriteFile(OsHandle device, const void* buffer, std::uint32_t size, std::uint32_t* written) {
  DWORD count = 0;
  BOOL ok = ::WriteFile(ToHandle(device), buffer, size, &count, nullptr);
  if (written != nullptr) *written = count;
  return ok != FALSE;
}

bool Win32DeviceStack::ReadFile(OsHandle device, void* buffer, std::uint32_t size, std::uint32_t* read) {
  DWORD count = 0;
  BOOL ok = ::ReadFile(ToHandle(device), buffer, size, &count, nullptr);
  if (read != nullptr) *read = count;
  return ok != FALSE;
}

bool Win32DeviceStack::ReadFileOverlapped(OsHandle device, void* buffer, std::uint32_t size,
                                          OverlappedIo& overlapped) {
  OVERLAPPED* record = new (overlapped.backend) OVERLAPPED{};
  record->hEvent = ToHandle(overlapped.event);
  return ::ReadFile(ToHandle(device), buffer, size, nullptr, record) != FALSE;
}

bool Win32DeviceStack::GetOverlappedResult(OsHandle device, OverlappedIo& overlapped, std::uint32_t* transferred,
                                           bool wait) {
  DWORD count = 0;
  BOOL ok = ::GetOverlappedResult(ToHandle(device), Record(overlapped), &count, wait ? TRUE : FALSE);
  if (transferred != nullptr) *transferred = count;
  return ok != FALSE;
}

bool Win32DeviceStack::CancelIoEx(OsHandle device, OverlappedIo& overlapped) {
  return ::CancelIoEx(ToHandle(device), Record(overlapped)) != FALSE;
}

}  // namespace tessora

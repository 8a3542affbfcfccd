#pragma once
// Plain values shared by every backend of the platform seam. They keep the Win32
// meanings (error codes, wait results, handle sentinel) so that the callers read the
// same on every platform.

#include <cstdint>
#include <cstring>

namespace tessora {

// Opaque handle as the seam hands it out; the win32 backend stores a HANDLE in it.
using OsHandle = std::uintptr_t;
constexpr OsHandle kNullHandle = 0;
constexpr OsHandle kInvalidHandle = ~static_cast<OsHandle>(0);

inline bool IsUsable(OsHandle handle) { return handle != kNullHandle && handle != kInvalidHandle; }

struct Guid {
  std::uint32_t data1;
  std::uint16_t data2;
  std::uint16_t data3;
  std::uint8_t data4[8];
};

// Two GUIDs are the same interface class when all 16 bytes agree.
inline bool operator==(const Guid& a, const Guid& b) { return std::memcmp(&a, &b, sizeof(Guid)) == 0; }

// Last-error codes the callers act on.
constexpr std::uint32_t kErrorSuccess = 0;
constexpr std::uint32_t kErrorInvalidFunction = 1;
constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorInvalidHandle = 6;
constexpr std::uint32_t kErrorGenFailure = 31;
constexpr std::uint32_t kErrorCrc = 23;
constexpr std::uint32_t kErrorNotSupported = 50;
constexpr std::uint32_t kErrorInvalidParameter = 87;
constexpr std::uint32_t kErrorInsufficientBuffer = 122;
constexpr std::uint32_t kErrorAlreadyExists = 183;
constexpr std::uint32_t kErrorNoMoreItems = 259;
constexpr std::uint32_t kErrorDeviceNotConnected = 1167;
constexpr std::uint32_t kErrorOperationAborted = 995;
constexpr std::uint32_t kErrorIoIncomplete = 996;
constexpr std::uint32_t kErrorIoPending = 997;
constexpr std::uint32_t kErrorNotFound = 1168;

// Wait results.
constexpr std::uint32_t kWaitObject0 = 0;
constexpr std::uint32_t kWaitAbandoned = 0x80;
constexpr std::uint32_t kWaitTimeout = 0x102;
constexpr std::uint32_t kWaitFailed = 0xFFFFFFFF;
constexpr std::uint32_t kInfinite = 0xFFFFFFFF;

// SetupDi enumeration flags.
constexpr std::uint32_t kDigcfPresent = 0x02;
constexpr std::uint32_t kDigcfDeviceInterface = 0x10;

// CreateFileA arguments the callers pass.
constexpr std::uint32_t kGenericRead = 0x80000000;
constexpr std::uint32_t kGenericWrite = 0x40000000;
constexpr std::uint32_t kFileShareRead = 1;
constexpr std::uint32_t kFileShareWrite = 2;
constexpr std::uint32_t kOpenExisting = 3;
constexpr std::uint32_t kFileAttributeNormal = 0x80;
constexpr std::uint32_t kFileFlagOverlapped = 0x40000000;

}  // namespace tessora

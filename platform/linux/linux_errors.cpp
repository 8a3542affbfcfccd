#include "platform/linux/linux_errors.h"

#include <libusb.h>

#include <cerrno>

#include "platform/types.h"

namespace tessora::linuxstack {

namespace {

constexpr std::uint32_t kErrorSemTimeout = 121;  // what WinUSB reports for a transfer time-out
constexpr std::uint32_t kErrorBusy = 170;

}  // namespace

std::uint32_t LastErrorFromErrno(int error) {
  switch (error) {
    case EACCES:
    case EPERM: return kErrorAccessDenied;
    case ENOENT: return kErrorFileNotFound;
    // A device that went away: the node vanished, or the kernel turns its requests down.
    case ENODEV:
    case ENXIO:
    case ESHUTDOWN:
    case EIO: return kErrorDeviceNotConnected;
    case EBUSY: return kErrorBusy;
    case ETIMEDOUT: return kErrorSemTimeout;
    case EINVAL: return kErrorInvalidParameter;
    case ENOTTY: return kErrorInvalidFunction;
    default: return kErrorGenFailure;  // a stall (EPIPE) among them, as on Windows
  }
}

std::uint32_t LastErrorFromLibusb(int error) {
  switch (error) {
    case LIBUSB_ERROR_ACCESS: return kErrorAccessDenied;
    case LIBUSB_ERROR_NO_DEVICE:
    case LIBUSB_ERROR_IO: return kErrorDeviceNotConnected;
    case LIBUSB_ERROR_NOT_FOUND: return kErrorFileNotFound;
    case LIBUSB_ERROR_BUSY: return kErrorBusy;
    case LIBUSB_ERROR_TIMEOUT: return kErrorSemTimeout;
    case LIBUSB_ERROR_INVALID_PARAM: return kErrorInvalidParameter;
    default: return kErrorGenFailure;  // LIBUSB_ERROR_PIPE: the device stalled the request
  }
}

}  // namespace tessora::linuxstack

#include "platform/emulation/thread_last_error.h"

#include "platform/types.h"

namespace tessora {

namespace {

thread_local std::uint32_t lastError = kErrorSuccess;

}  // namespace

std::uint32_t ThreadLastError() { return lastError; }

bool FailWith(std::uint32_t error) {
  lastError = error;
  return false;
}

}  // namespace tessora

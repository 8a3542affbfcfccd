#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/native_os_services.h"
#include "sim/virtual_clock.h"

namespace tessora::test {

struct NativeOsHolder {
  std::unique_ptr<OsServices> native = CreateNativeOsServices();
};

// Virtual time, and the debug output kept as lines. The native services are built
// first (base order), so the clock can wrap them.
class RecordingOs : private NativeOsHolder, public VirtualClock {
 public:
  RecordingOs() : NativeOsHolder(), VirtualClock(*native) {}
  void OutputDebugStringA(const char* text) override { debugLines.push_back(text); }
  std::unique_ptr<NamedMutex> CreateMutexA(const char* name, std::uint32_t& lastError) override {
    if (!mutexesFail) return VirtualClock::CreateMutexA(name, lastError);
    lastError = kErrorSuccess;
    return std::make_unique<FailingMutex>();
  }

  std::vector<std::string> debugLines;
  // Mutexes made from now on cannot be taken at all, as when the system gives no socket.
  bool mutexesFail = false;

 private:
  class FailingMutex : public NamedMutex {
   public:
    std::uint32_t Wait(std::uint32_t /*timeoutMilliseconds*/) override { return kWaitFailed; }
    bool Release() override { return false; }
  };
};

}  // namespace tessora::test

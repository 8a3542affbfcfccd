#pragma once
#include <utility>

#include "platform/os_services.h"

namespace tessora {

// An owned auto-reset event of the OS services; closed when the owner lets go of it.
class Event {
 public:
  Event() = default;
  static Event Create(OsServices& os) { return Event(os, os.CreateEventA()); }

  Event(Event&& other) noexcept
      : os_(std::exchange(other.os_, nullptr)), handle_(std::exchange(other.handle_, kNullHandle)) {}
  Event& operator=(Event&& other) noexcept {
    if (this != &other) {
      Close();
      os_ = std::exchange(other.os_, nullptr);
      handle_ = std::exchange(other.handle_, kNullHandle);
    }
    return *this;
  }
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;
  ~Event() { Close(); }

  bool Valid() const { return handle_ != kNullHandle; }
  OsHandle Handle() const { return handle_; }
  bool Set() { return Valid() && os_->SetEvent(handle_); }

  void Close() {
    if (Valid()) os_->CloseEvent(handle_);
    handle_ = kNullHandle;
  }

 private:
  Event(OsServices& os, OsHandle handle) : os_(&os), handle_(handle) {}

  OsServices* os_ = nullptr;
  OsHandle handle_ = kNullHandle;
};

}  // namespace tessora

#include "platform/linux/udev_device_watch.h"

#include <libudev.h>

#include "platform/posix/wakeable_wait.h"

namespace tessora::linuxstack {

namespace {

// The events come after udev has made the node and applied its rules, so a node that
// arrives can be opened at once.
class UdevDeviceWatch : public DeviceWatch {
 public:
  UdevDeviceWatch() : udev_(udev_new()) {
    if (udev_ != nullptr) monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    if (monitor_ == nullptr) return;
    bool filtered = udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) >= 0 &&
                    udev_monitor_filter_add_match_subsystem_devtype(monitor_, "usb", "usb_device") >= 0;
    if (!filtered || udev_monitor_enable_receiving(monitor_) < 0) {
      udev_monitor_unref(monitor_);
      monitor_ = nullptr;
    }
  }
  ~UdevDeviceWatch() override {
    if (monitor_ != nullptr) udev_monitor_unref(monitor_);
    if (udev_ != nullptr) udev_unref(udev_);
  }
  UdevDeviceWatch(const UdevDeviceWatch&) = delete;
  UdevDeviceWatch& operator=(const UdevDeviceWatch&) = delete;
  bool Valid() const { return monitor_ != nullptr && wait_.Valid(); }

  bool Wait(std::uint32_t timeoutMs) override {
    return wait_.Wait(udev_monitor_get_fd(monitor_), timeoutMs, [this] {
      // Which device it was does not matter: the devices are listed again.
      while (udev_device* device = udev_monitor_receive_device(monitor_)) udev_device_unref(device);
    });
  }
  void Wake() override { wait_.Wake(); }

 private:
  struct udev* udev_;
  udev_monitor* monitor_ = nullptr;
  WakeableWait wait_;
};

}  // namespace

std::unique_ptr<DeviceWatch> WatchUdevDevices() {
  auto watch = std::make_unique<UdevDeviceWatch>();
  if (!watch->Valid()) return nullptr;
  return watch;
}

}  // namespace tessora::linuxstack

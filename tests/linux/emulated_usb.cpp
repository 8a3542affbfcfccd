// The emulated machine behind the Linux device stack's tests. The handlers run on
// umockdev's worker thread and pass each request to the simulated board through the
// simulated device stack, so the board model is the one the other tests use.
#include "tests/linux/emulated_usb.h"

#include <linux/hidraw.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <umockdev.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <deque>
#include <mutex>

#include "platform/sim/sim_device_stack.h"

namespace tessora::testing {

namespace {

constexpr std::uint8_t kMsOsVendorCode = 0x20;
constexpr std::uint16_t kMsOsDescriptorIndex = 7;
constexpr int kFirstAddress = 2;

// The Microsoft OS 2.0 descriptor set of the controller: a function subset for interface 1
// with the WINUSB compatible ID and DeviceInterfaceGUIDs {42CA71EC-CE1C-44C2-82DE-87D8D8FF6C1E};
// and the BOS that points to it with vendor code 0x20, or one without that capability.
constexpr const char* kDescriptorSet =
    "0A00000000000306AA00080002000100A0001400030057494E555342000000000000000000008400040007002A00440065007600"
    "69006300650049006E00740065007200660061006300650047005500490044007300000050007B00340032004300410037003100"
    "450043002D0043004500310043002D0034003400430032002D0038003200440045002D003800370044003800440038004600460036"
    "004300310045007D0000000000";
constexpr const char* kBosWithMsOs20 = "050F280002071002020000001C100500DF60DDD88945C74C9CD2659D9E648A9F00000306AA002000";
constexpr const char* kBosWithout = "050F0C000107100202000000";

std::vector<std::uint8_t> Bytes(const std::string& hex) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  char pair[3];
  for (std::uint8_t byte : bytes) text += (std::snprintf(pair, sizeof pair, "%02X", byte), pair);
  return text;
}

// Device and configuration descriptors: interface 0 HID and, on a controller, interface 1
// vendor-specific; USB 2.01 (with a BOS) for a controller, 2.00 otherwise.
std::string UsbDescriptorsHex(const EmulatedDevice& device) {
  bool controller = device.board != nullptr;
  char hex[160];
  std::snprintf(hex, sizeof hex, "1201%s00000040%02X%02X%02X%02X0001010203010902%s0%d01008032090400000003000000%s",
                controller ? "0102" : "0002", device.vendorId & 0xFF, device.vendorId >> 8, device.productId & 0xFF,
                device.productId >> 8, controller ? "1B00" : "1200", controller ? 2 : 1,
                controller ? "0904010000FF000000" : "");
  return hex;
}

// False, with a test failure, when umockdev refused.
bool Check(gboolean done, GError* error) {
  if (done) return true;
  ADD_FAILURE() << "emulated system not set up: " << error->message;
  g_error_free(error);
  return false;
}

int ErrnoFor(std::uint32_t lastError) { return lastError == kErrorDeviceNotConnected ? ENODEV : EPIPE; }

}  // namespace

std::vector<std::uint8_t> ControllerReportDescriptor() {
  return {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0xFF, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x96,
          0x7F, 0x00, 0x09, 0x02, 0xB1, 0x02, 0x09, 0x03, 0x81, 0x02, 0x09, 0x04, 0x91, 0x02, 0xC0};
}

std::vector<std::uint8_t> KeyboardReportDescriptor() {
  return {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x91, 0x02, 0xC0};
}

std::string EmulatedUsb::UsbPath(std::size_t device) {
  char path[32];
  std::snprintf(path, sizeof path, "/dev/bus/usb/001/%03zu", device + kFirstAddress);
  return path;
}

// The requests of one device's nodes, answered by its board through a simulated stack.
struct EmulatedUsb::Node {
  EmulatedDevice device;
  std::vector<std::uint8_t> descriptorSet = Bytes(kDescriptorSet);
  sim::SimDeviceStack stack;
  OsHandle hid = kNullHandle;
  OsHandle winUsb = kNullHandle;
  int hidrawMaster = -1;
  UMockdevIoctlBase* hidHandler = nullptr;
  UMockdevIoctlBase* usbHandler = nullptr;
  std::mutex mutex;
  std::deque<UMockdevIoctlData*> reaped;

  void OpenBoard() {
    if (device.board == nullptr) return;
    sim::BoardIdentity identity{device.vendorId, device.productId, device.serial,
                                std::u16string(device.product.begin(), device.product.end())};
    stack.AttachBoard(*device.board, identity);
    for (std::size_t i = 0; i < stack.InterfaceCount(); ++i) {
      const sim::SimInterface& face = stack.Interface(i);
      std::uint32_t flags = face.kind == sim::InterfaceKind::WinUsb ? kFileFlagOverlapped : 0;
      OsHandle file = stack.CreateFileA(face.path.c_str(), kGenericRead | kGenericWrite, 3, kOpenExisting, flags);
      if (face.kind == sim::InterfaceKind::Hid) hid = file;
      if (face.kind == sim::InterfaceKind::WinUsb) stack.WinUsb_Initialize(file, &winUsb);
    }
  }

  bool HidIoctl(UMockdevIoctlClient* client) {
    gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    gsize length = _IOC_SIZE(request);
    g_autoptr(UMockdevIoctlData) data = nullptr;
    const std::vector<std::uint8_t>& rdesc = device.reportDescriptor;
    std::lock_guard lock(mutex);
    if (request == HIDIOCGRAWINFO) {
      data = umockdev_ioctl_data_resolve(arg, 0, sizeof(hidraw_devinfo), nullptr);
      hidraw_devinfo info{3, static_cast<__s16>(device.vendorId), static_cast<__s16>(device.productId)};
      std::memcpy(data->data, &info, sizeof info);
    } else if (request == HIDIOCGRDESCSIZE) {
      data = umockdev_ioctl_data_resolve(arg, 0, sizeof(int), nullptr);
      *reinterpret_cast<int*>(data->data) = static_cast<int>(rdesc.size());
    } else if (request == HIDIOCGRDESC) {
      data = umockdev_ioctl_data_resolve(arg, 0, sizeof(hidraw_report_descriptor), nullptr);
      auto* out = reinterpret_cast<hidraw_report_descriptor*>(data->data);
      out->size = static_cast<__u32>(rdesc.size());
      std::memcpy(out->value, rdesc.data(), rdesc.size());
    } else if (_IOC_TYPE(request) == 'H' && (_IOC_NR(request) == 0x06 || _IOC_NR(request) == 0x07)) {
      data = umockdev_ioctl_data_resolve(arg, 0, length, nullptr);
      bool set = _IOC_NR(request) == 0x06;
      bool done = hid != kNullHandle &&
                  (set ? stack.HidD_SetFeature(hid, data->data, static_cast<std::uint32_t>(length))
                       : stack.HidD_GetFeature(hid, data->data, static_cast<std::uint32_t>(length)));
      if (!done) {
        umockdev_ioctl_client_complete(client, -1, hid == kNullHandle ? EPIPE : ErrnoFor(stack.GetLastError()));
        return true;
      }
      umockdev_ioctl_client_complete(client, static_cast<glong>(length), 0);
      return true;
    } else {
      return false;
    }
    umockdev_ioctl_client_complete(client, 0, 0);
    return true;
  }

  // An output report; the answer the board queues in return goes out as input reports.
  bool HidWrite(UMockdevIoctlClient* client) {
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    std::lock_guard lock(mutex);
    std::uint32_t written = 0;
    if (hid == kNullHandle || !stack.WriteFile(hid, arg->data, static_cast<std::uint32_t>(arg->data_len), &written)) {
      umockdev_ioctl_client_complete(client, -1, hid == kNullHandle ? EPIPE : ErrnoFor(stack.GetLastError()));
      return true;
    }
    std::vector<std::uint8_t> report(device.board->Config().inputReportLength);
    std::uint32_t got = 0;
    while (stack.ReadFile(hid, report.data(), static_cast<std::uint32_t>(report.size()), &got) && got > 0)
      if (::write(hidrawMaster, report.data(), got) != static_cast<ssize_t>(got)) break;
    umockdev_ioctl_client_complete(client, arg->data_len, 0);
    return true;
  }

  // A control request: 8 setup bytes, then the data. Returns the URB status.
  int ControlRequest(std::uint8_t* setupAndData, std::uint32_t& actual) {
    UsbSetupPacket setup{setupAndData[0], setupAndData[1],
                         static_cast<std::uint16_t>(setupAndData[2] | setupAndData[3] << 8),
                         static_cast<std::uint16_t>(setupAndData[4] | setupAndData[5] << 8),
                         static_cast<std::uint16_t>(setupAndData[6] | setupAndData[7] << 8)};
    std::uint8_t* data = setupAndData + 8;
    auto answer = [&](const std::vector<std::uint8_t>& bytes) {
      actual = static_cast<std::uint32_t>(bytes.size() < setup.length ? bytes.size() : setup.length);
      std::memcpy(data, bytes.data(), actual);
      return 0;
    };
    if (setup.requestType == 0x80 && setup.request == 6 && setup.value == 0x0F00)
      return answer(Bytes(device.msOs20 ? kBosWithMsOs20 : kBosWithout));
    if (device.msOs20 && setup.requestType == 0xC0 && setup.request == kMsOsVendorCode && setup.index == kMsOsDescriptorIndex)
      return answer(descriptorSet);
    if (winUsb == kNullHandle) return -EPIPE;
    if (!stack.WinUsb_ControlTransfer(winUsb, setup, data, setup.length, &actual)) return -ErrnoFor(stack.GetLastError());
    return 0;
  }

  bool UsbIoctl(UMockdevIoctlClient* client) {
    gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    long result = 0;
    int error = 0;
    std::lock_guard lock(mutex);
    switch (request) {
      case USBDEVFS_GET_CAPABILITIES: {
        g_autoptr(UMockdevIoctlData) data = umockdev_ioctl_data_resolve(arg, 0, sizeof(guint32), nullptr);
        *reinterpret_cast<guint32*>(data->data) = USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_ZERO_PACKET;
        break;
      }
      case USBDEVFS_CLAIMINTERFACE:
      case USBDEVFS_RELEASEINTERFACE:
      case USBDEVFS_SETINTERFACE:
      case USBDEVFS_CLEAR_HALT:
      case USBDEVFS_RESET: break;
      case USBDEVFS_GETDRIVER:
      case USBDEVFS_IOCTL: result = -1, error = ENODATA; break;
      case USBDEVFS_SUBMITURB: {
        UMockdevIoctlData* urbData = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
        auto* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
        g_autoptr(UMockdevIoctlData) buffer = umockdev_ioctl_data_resolve(
            urbData, G_STRUCT_OFFSET(usbdevfs_urb, buffer), static_cast<gsize>(urb->buffer_length), nullptr);
        std::uint32_t actual = 0;
        // Only control requests come this way; a board that is gone refuses the URB.
        int status = urb->buffer_length < 8 ? -EINVAL : ControlRequest(buffer->data, actual);
        if (status == -ENODEV || status == -EINVAL) {
          g_object_unref(urbData);
          result = -1, error = -status;
          break;
        }
        urb->status = status;
        urb->actual_length = static_cast<int>(actual);
        reaped.push_back(urbData);
        break;
      }
      case USBDEVFS_REAPURB:
      case USBDEVFS_REAPURBNDELAY: {
        if (reaped.empty()) {
          result = -1, error = EAGAIN;
          break;
        }
        g_autoptr(UMockdevIoctlData) pointer = umockdev_ioctl_data_resolve(arg, 0, sizeof(gpointer), nullptr);
        umockdev_ioctl_data_set_ptr(pointer, 0, reaped.front());
        g_object_unref(reaped.front());
        reaped.pop_front();
        break;
      }
      default: return false;
    }
    umockdev_ioctl_client_complete(client, result, error);
    return true;
  }
};

namespace {

gboolean OnHidIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer node) {
  return static_cast<EmulatedUsb::Node*>(node)->HidIoctl(client);
}
gboolean OnHidWrite(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer node) {
  return static_cast<EmulatedUsb::Node*>(node)->HidWrite(client);
}
gboolean OnUsbIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer node) {
  return static_cast<EmulatedUsb::Node*>(node)->UsbIoctl(client);
}

// The umockdev description of one device: the USB device, its HID interface with the
// HID device and its hidraw node.
std::string DeviceTree(const EmulatedDevice& device, std::size_t index, int hidraw) {
  char text[4096];
  int address = static_cast<int>(index) + kFirstAddress;
  std::string usb = "/devices/pci0000:00/0000:00:14.0/usb1/1-" + std::to_string(address);
  std::string strings;
  if (!device.product.empty()) strings += "A: product=" + device.product + "\\n\n";
  if (!device.serial.empty()) strings += "A: serial=" + device.serial + "\\n\n";
  std::snprintf(text, sizeof text,
                "P: %s\nN: bus/usb/001/%03d\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\n"
                "E: BUSNUM=001\nE: DEVNUM=%03d\nE: DEVNAME=/dev/bus/usb/001/%03d\nA: busnum=1\\n\nA: devnum=%d\\n\n"
                "A: speed=12\\n\nA: bConfigurationValue=1\\n\nA: idVendor=%04x\\n\nA: idProduct=%04x\\n\n"
                "A: bcdDevice=0100\\n\n%sA: dev=189:%d\\n\nH: descriptors=%s\n\n",
                usb.c_str(), address, address, address, address, device.vendorId, device.productId, strings.c_str(),
                address, UsbDescriptorsHex(device).c_str());
  std::string tree = text;
  if (hidraw < 0) return tree;
  char hidName[64];
  std::snprintf(hidName, sizeof hidName, "0003:%04X:%04X.%04X", device.vendorId, device.productId, hidraw + 1);
  std::string interface = usb + "/1-" + std::to_string(address) + ":1.0";
  // The HID core names a device without strings after its IDs.
  char name[64];
  std::snprintf(name, sizeof name, "HID %04x:%04x", device.vendorId, device.productId);
  std::snprintf(text, sizeof text,
                "P: %s\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\nE: DRIVER=usbhid\nA: bInterfaceNumber=00\\n\n"
                "A: bInterfaceClass=03\\n\n\n"
                "P: %s/%s\nE: SUBSYSTEM=hid\nE: DRIVER=hid-generic\nE: HID_ID=0003:0000%04X:0000%04X\n"
                "E: HID_NAME=%s\nE: HID_UNIQ=%s\nH: report_descriptor=%s\n\n"
                "P: %s/%s/hidraw/hidraw%d\nN: hidraw%d\nE: SUBSYSTEM=hidraw\nE: DEVNAME=/dev/hidraw%d\n"
                "E: MAJOR=240\nE: MINOR=%d\nA: dev=240:%d\\n\nL: device=../../../%s\n\n",
                interface.c_str(), interface.c_str(), hidName, device.vendorId, device.productId,
                device.product.empty() ? name : device.product.c_str(), device.serial.c_str(),
                Hex(device.reportDescriptor).c_str(),
                interface.c_str(), hidName, hidraw, hidraw, hidraw, hidraw, hidraw, hidName);
  return tree + text;
}

}  // namespace

struct EmulatedUsb::Testbed {
  UMockdevTestbed* testbed = umockdev_testbed_new();
  std::vector<std::unique_ptr<Node>> nodes;
};

EmulatedUsb::EmulatedUsb(const std::vector<EmulatedDevice>& devices) : testbed_(std::make_unique<Testbed>()) {
  UMockdevTestbed* testbed = testbed_->testbed;
  std::string tree;
  int hidraw = 0;
  GError* error = nullptr;
  for (std::size_t i = 0; i < devices.size(); ++i) {
    auto node = std::make_unique<Node>();
    node->device = devices[i];
    node->OpenBoard();
    node->usbHandler = umockdev_ioctl_base_new();
    g_signal_connect(node->usbHandler, "handle-ioctl", G_CALLBACK(OnUsbIoctl), node.get());
    // Handlers first: the preload connects a node to its handler when it is opened.
    if (!Check(umockdev_testbed_attach_ioctl(testbed, UsbPath(i).c_str(), node->usbHandler, &error), error)) return;
    int number = node->device.reportDescriptor.empty() ? -1 : hidraw++;
    if (number >= 0) {
      node->hidHandler = umockdev_ioctl_base_new();
      g_signal_connect(node->hidHandler, "handle-ioctl", G_CALLBACK(OnHidIoctl), node.get());
      g_signal_connect(node->hidHandler, "handle-write", G_CALLBACK(OnHidWrite), node.get());
      if (!Check(umockdev_testbed_attach_ioctl(testbed, HidrawPath(number).c_str(), node->hidHandler, &error), error))
        return;
    }
    tree += DeviceTree(node->device, i, number);
    testbed_->nodes.push_back(std::move(node));
  }
  if (!Check(umockdev_testbed_add_from_string(testbed, tree.c_str(), &error), error)) return;
  hidraw = 0;
  for (auto& node : testbed_->nodes)
    if (!node->device.reportDescriptor.empty())
      node->hidrawMaster = umockdev_testbed_get_dev_fd(testbed, HidrawPath(hidraw++).c_str());
}

// The testbed goes first, so that no handler runs while its node goes away.
EmulatedUsb::~EmulatedUsb() {
  g_object_unref(testbed_->testbed);
  for (auto& node : testbed_->nodes) {
    for (UMockdevIoctlData* urb : node->reaped) g_object_unref(urb);
    if (node->hidHandler != nullptr) g_object_unref(node->hidHandler);
    g_object_unref(node->usbHandler);
  }
}

void EmulatedUsb::SendInputReport(std::size_t device, const std::vector<std::uint8_t>& report) {
  Node& node = *testbed_->nodes[device];
  std::lock_guard lock(node.mutex);
  ASSERT_EQ(::write(node.hidrawMaster, report.data(), report.size()), static_cast<ssize_t>(report.size()));
}

}  // namespace tessora::testing

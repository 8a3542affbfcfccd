// The emulated machine behind the Linux device stack's tests. The handlers run on
// umockdev's worker thread and pass each request to the simulated board's HID and WinUSB
// faces, so the board model is the one the other tests use.
#include "tests/linux/emulated_usb.h"

#include <linux/hidraw.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <umockdev.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <span>

#include "sim/board/hid_face.h"
#include "sim/board/winusb_face.h"

namespace tessora::test {

namespace {

using Bytes = std::vector<std::uint8_t>;

// The controller's Microsoft OS 2.0 descriptor set (vendor code 0x20, index 7): interface 1
// is WINUSB with DeviceInterfaceGUIDs {42CA71EC-CE1C-44C2-82DE-87D8D8FF6C1E}; the BOS that
// points to it, and one without that capability.
constexpr const char* kDeclaredGuid = "{42CA71EC-CE1C-44C2-82DE-87D8D8FF6C1E}";
constexpr const char* kDescriptorSet =
    "0A00000000000306AA00080002000100A0001400030057494E555342000000000000000000008400040007002A00440065007600"
    "69006300650049006E00740065007200660061006300650047005500490044007300000050007B00340032004300410037003100"
    "450043002D0043004500310043002D0034003400430032002D0038003200440045002D003800370044003800440038004600460036"
    "004300310045007D0000000000";
constexpr const char* kBosWithMsOs20 = "050F280002071002020000001C100500DF60DDD88945C74C9CD2659D9E648A9F00000306AA002000";
constexpr const char* kBosWithout = "050F0C000107100202000000";

Bytes FromHex(const std::string& hex) {
  Bytes bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back(std::stoul(hex.substr(i, 2), nullptr, 16));
  return bytes;
}

// The descriptor set with another GUID of the same form in place of the one it declares.
Bytes DescriptorSet(const std::string& guid) {
  Bytes set = FromHex(kDescriptorSet);
  Bytes declared, wanted;
  for (std::size_t i = 0; i < guid.size(); ++i) {
    declared.insert(declared.end(), {static_cast<std::uint8_t>(kDeclaredGuid[i]), 0});
    wanted.insert(wanted.end(), {static_cast<std::uint8_t>(guid[i]), 0});
  }
  auto at = std::search(set.begin(), set.end(), declared.begin(), declared.end());
  if (at != set.end() && wanted.size() == declared.size()) std::copy(wanted.begin(), wanted.end(), at);
  return set;
}

template <typename T>
Bytes BytesOf(const T& value) {
  return Bytes(reinterpret_cast<const std::uint8_t*>(&value), reinterpret_cast<const std::uint8_t*>(&value + 1));
}

// The requests of one device's nodes, answered by its board's faces.
struct Node {
  EmulatedDevice device;
  std::unique_ptr<sim::HidFace> hid;  // null: the board presents no HID face
  std::optional<sim::WinUsbFace> winUsb;  // none: the board's WinUSB face cannot be reached
  UMockdevIoctlBase* handler = umockdev_ioctl_base_new();  // of both nodes: hidraw and usbdevfs
  std::mutex mutex;
  std::deque<UMockdevIoctlData*> reaped;
  int featureRequests = 0;

  explicit Node(const EmulatedDevice& plugged) : device(plugged) {
    if (device.board == nullptr) return;
    const sim::BoardConfig& config = device.board->Config();
    if (config.hid) hid = std::make_unique<sim::HidFace>(*device.board);
    // The knobs that keep a Windows program from opening the WinUSB interface keep this one
    // out as well, so that a board fails alike on both systems.
    if (config.winUsb && !config.openFails && !config.winUsbInitFails) winUsb.emplace(*device.board);
  }
  ~Node() {
    for (UMockdevIoctlData* urb : reaped) g_object_unref(urb);
    g_object_unref(handler);
  }

  // The errno of a request to a face: 0 when the board served it, ENODEV once the board is
  // gone, EPIPE when it refused the request or lacks the face.
  template <typename Request>
  int Serve(bool hasFace, Request request) {
    if (!hasFace) return EPIPE;
    if (!device.board->Present()) return ENODEV;
    return request() ? 0 : EPIPE;
  }

  // hidraw: the identity and the report descriptor, or a feature report to or from the board.
  bool HidIoctl(UMockdevIoctlClient* client) {
    gulong request = umockdev_ioctl_client_get_request(client);
    auto length = static_cast<std::uint32_t>(_IOC_SIZE(request));
    bool set = request == HIDIOCSFEATURE(length), feature = set || request == HIDIOCGFEATURE(length);
    const Bytes& descriptor = device.reportDescriptor;
    Bytes answer = BytesOf(static_cast<__u32>(descriptor.size()));  // HIDIOCGRDESCSIZE; HIDIOCGRDESC goes on
    if (request == HIDIOCGRAWINFO)
      answer = BytesOf(hidraw_devinfo{3, static_cast<__s16>(device.vendorId), static_cast<__s16>(device.productId)});
    else if (request == HIDIOCGRDESC)
      answer.insert(answer.end(), descriptor.begin(), descriptor.end());
    else if (request != HIDIOCGRDESCSIZE && !feature)
      return false;
    std::lock_guard lock(mutex);
    g_autoptr(UMockdevIoctlData) data =
        umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, feature ? length : answer.size(), nullptr);
    if (!feature) std::memcpy(data->data, answer.data(), answer.size());
    featureRequests += feature ? 1 : 0;
    glong answered = feature ? static_cast<glong>(length) : 0;
    int error = 0;
    if (feature && device.board == nullptr) {
      answered = std::min<glong>(answered, device.featureAnswerBytes);
      error = answered > 0 ? 0 : EPIPE;
    } else if (feature) {
      error = Serve(hid != nullptr, [&] {
        return set ? hid->SetFeature(data->data, length) : hid->GetFeature(data->data, length);
      });
    }
    umockdev_ioctl_client_complete(client, error == 0 ? answered : -1, error);
    return true;
  }

  // A control request: 8 setup bytes, then the data. Returns the URB status. The device's
  // firmware answers the BOS and Microsoft OS 2.0 requests itself; the board the rest.
  int ControlRequest(std::uint8_t* setupAndData, std::uint32_t& actual) {
    static_assert(sizeof(UsbSetupPacket) == 8);
    UsbSetupPacket setup;
    std::memcpy(&setup, setupAndData, sizeof setup);  // little-endian, as on the wire
    Bytes answer;
    if (setup.requestType == 0x80 && setup.request == 6 && setup.value == 0x0F00)
      answer = FromHex(device.msOs20 ? kBosWithMsOs20 : kBosWithout);
    else if (device.msOs20 && setup.requestType == 0xC0 && setup.request == 0x20 && setup.index == 7)
      answer = DescriptorSet(device.interfaceGuid);
    else
      return -Serve(winUsb.has_value(), [&] {
        return winUsb->ControlTransfer(setup, std::span(setupAndData + 8, setup.length), actual);
      });
    actual = static_cast<std::uint32_t>(std::min<std::size_t>(answer.size(), setup.length));
    std::memcpy(setupAndData + 8, answer.data(), actual);
    return 0;
  }

  // What libusb asks of usbdevfs. A board that is gone refuses a URB outright.
  bool UsbIoctl(UMockdevIoctlClient* client) {
    gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    bool reap = request == USBDEVFS_REAPURB || request == USBDEVFS_REAPURBNDELAY;
    int error = 0;
    std::lock_guard lock(mutex);
    if (request == USBDEVFS_SUBMITURB) {
      UMockdevIoctlData* urbData = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
      auto* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
      g_autoptr(UMockdevIoctlData) buffer = umockdev_ioctl_data_resolve(
          urbData, G_STRUCT_OFFSET(usbdevfs_urb, buffer), static_cast<gsize>(urb->buffer_length), nullptr);
      std::uint32_t actual = 0;
      urb->status = urb->buffer_length < 8 ? -EINVAL : ControlRequest(buffer->data, actual);
      urb->actual_length = static_cast<int>(actual);
      if (urb->status == -ENODEV || urb->status == -EINVAL) error = -urb->status, g_object_unref(urbData);
      else reaped.push_back(urbData);
    } else if (reap && reaped.empty()) {
      error = EAGAIN;
    } else if (reap) {
      g_autoptr(UMockdevIoctlData) pointer = umockdev_ioctl_data_resolve(arg, 0, sizeof(gpointer), nullptr);
      umockdev_ioctl_data_set_ptr(pointer, 0, reaped.front());
      g_object_unref(reaped.front());
      reaped.pop_front();
    } else if (request != USBDEVFS_CLAIMINTERFACE && request != USBDEVFS_RELEASEINTERFACE) {
      return false;
    }
    umockdev_ioctl_client_complete(client, error != 0 ? -1 : 0, error);
    return true;
  }
};

gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer node) {
  bool hidraw = _IOC_TYPE(umockdev_ioctl_client_get_request(client)) == 'H';
  return hidraw ? static_cast<Node*>(node)->HidIoctl(client) : static_cast<Node*>(node)->UsbIoctl(client);
}

// The HID device's name under its interface: 0003:VVVV:PPPP.NNNN.
std::string HidName(const EmulatedDevice& device, int number) {
  char hid[32];
  std::snprintf(hid, sizeof hid, "0003:%04X:%04X.%04X", static_cast<unsigned>(device.vendorId),
                static_cast<unsigned>(device.productId), number + 1);
  return hid;
}

// The sysfs paths of device `number`, as DeviceTree lays them out: the USB device, its
// interface, the HID device and the hidraw node, parents first.
std::vector<std::string> SysPaths(const EmulatedDevice& device, int number) {
  std::string usb = "/sys/devices/usb1/1-" + std::to_string(number + 2);
  std::string interface = usb + "/1-" + std::to_string(number + 2) + ":1.0";
  std::string hid = interface + "/" + HidName(device, number);
  return {usb, interface, hid, hid + "/hidraw/hidraw" + std::to_string(number)};
}

// The umockdev description of device `number`: the USB device at address number + 2 with its
// configuration (interface 0 HID and, on a controller, interface 1 vendor-specific; USB 2.01
// with a BOS on a controller), its HID interface, HID device and hidraw node.
std::string DeviceTree(const EmulatedDevice& device, int number) {
  bool controller = device.board != nullptr;
  unsigned vendor = device.vendorId, product = device.productId;
  std::string strings;
  if (!device.product.empty()) strings += "A: product=" + device.product + "\\n\n";
  if (!device.serial.empty()) strings += "A: serial=" + device.serial + "\\n\n";
  std::string descriptor;
  for (std::uint8_t byte : device.reportDescriptor)
    descriptor += {"0123456789ABCDEF"[byte >> 4], "0123456789ABCDEF"[byte & 0x0F]};
  char ids[32], text[4096];
  std::string hid = HidName(device, number);
  // The HID core names a device without strings after its IDs.
  std::snprintf(ids, sizeof ids, "HID %04x:%04x", vendor, product);
  std::string name = !device.hidName.empty() ? device.hidName : !device.product.empty() ? device.product : ids;
  char node[96] = "";
  if (device.usbNode)
    std::snprintf(node, sizeof node, "N: bus/usb/001/%03d\nE: DEVNAME=/dev/bus/usb/001/%03d\n", number + 2, number + 2);
  std::snprintf(text, sizeof text,
                "P: /devices/usb1/1-%1$d\n%18$sE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n"
                "A: busnum=1\\n\nA: devnum=%1$d\\n\nA: bConfigurationValue=1\\n\n"
                "A: idVendor=%2$04x\\n\nA: idProduct=%3$04x\\n\nA: bcdDevice=0100\\n\n%4$sA: dev=189:%1$d\\n\n"
                "H: descriptors=1201%5$s00000040%6$02X%7$02X%8$02X%9$02X0001010203010902%10$s0%11$d"
                "01008032090400000003000000%12$s\n\n"
                "P: /devices/usb1/1-%1$d/1-%1$d:1.0\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n"
                "A: bInterfaceNumber=00\\n\n\nP: /devices/usb1/1-%1$d/1-%1$d:1.0/%13$s\nE: SUBSYSTEM=hid\n"
                "E: HID_ID=0003:0000%2$04X:0000%3$04X\nE: HID_NAME=%14$s\nE: HID_UNIQ=%15$s\n"
                "H: report_descriptor=%16$s\n\n"
                "P: /devices/usb1/1-%1$d/1-%1$d:1.0/%13$s/hidraw/hidraw%17$d\nN: hidraw%17$d\nE: SUBSYSTEM=hidraw\n"
                "E: DEVNAME=/dev/hidraw%17$d\nA: dev=240:%17$d\\n\nL: device=../../../%13$s\n\n",
                number + 2, vendor, product, strings.c_str(), controller ? "0102" : "0002", vendor & 0xFF, vendor >> 8,
                product & 0xFF, product >> 8, controller ? "1B00" : "1200", controller ? 2 : 1,
                controller ? "0904010000FF000000" : "", hid.c_str(), name.c_str(), device.serial.c_str(),
                descriptor.c_str(), number, node);
  return text;
}

}  // namespace

std::vector<std::uint8_t> ControllerReportDescriptor() {
  return FromHex("0600FF0901A10185FF150026FF007508967F000902B1020903810209049102C0");
}
std::vector<std::uint8_t> KeyboardReportDescriptor() { return FromHex("05010906A10175089508810295019102C0"); }

// The testbed goes before the nodes, so that no handler runs while its node goes away.
struct EmulatedUsb::Testbed {
  std::vector<std::unique_ptr<Node>> nodes;
  UMockdevTestbed* testbed = umockdev_testbed_new();
  ~Testbed() { g_object_unref(testbed); }
};

EmulatedUsb::EmulatedUsb(const std::vector<EmulatedDevice>& devices) : testbed_(std::make_unique<Testbed>()) {
  std::string tree;
  for (std::size_t i = 0; i < devices.size(); ++i) {
    Node& node = *testbed_->nodes.emplace_back(std::make_unique<Node>(devices[i]));
    g_signal_connect(node.handler, "handle-ioctl", G_CALLBACK(OnIoctl), &node);
    // The handler first: the preload connects a node to its handler when it is opened.
    for (const std::string& path : {UsbPath(i), HidrawPath(i)}) {
      if (path == UsbPath(i) && !devices[i].usbNode) continue;
      EXPECT_TRUE(umockdev_testbed_attach_ioctl(testbed_->testbed, path.c_str(), node.handler, nullptr));
    }
    if (devices[i].plugged) tree += DeviceTree(devices[i], static_cast<int>(i));
  }
  // A machine without devices has nothing to describe.
  if (!tree.empty()) {
    EXPECT_TRUE(umockdev_testbed_add_from_string(testbed_->testbed, tree.c_str(), nullptr)) << tree;
  }
}

EmulatedUsb::~EmulatedUsb() = default;

int EmulatedUsb::FeatureRequests(std::size_t device) const {
  Node& node = *testbed_->nodes.at(device);
  std::lock_guard lock(node.mutex);
  return node.featureRequests;
}

void EmulatedUsb::Plug(std::size_t device) {
  const EmulatedDevice& plugged = testbed_->nodes.at(device)->device;
  std::string tree = DeviceTree(plugged, static_cast<int>(device));
  ASSERT_TRUE(umockdev_testbed_add_from_string(testbed_->testbed, tree.c_str(), nullptr)) << tree;
  for (const std::string& path : SysPaths(plugged, static_cast<int>(device)))
    umockdev_testbed_uevent(testbed_->testbed, path.c_str(), "add");
}

void EmulatedUsb::Unplug(std::size_t device) {
  std::vector<std::string> paths = SysPaths(testbed_->nodes.at(device)->device, static_cast<int>(device));
  // Children first, as the kernel removes them.
  for (auto path = paths.rbegin(); path != paths.rend(); ++path)
    umockdev_testbed_uevent(testbed_->testbed, path->c_str(), "remove");
  for (auto path = paths.rbegin(); path != paths.rend(); ++path)
    umockdev_testbed_remove_device(testbed_->testbed, path->c_str());
}

void EmulatedUsb::Announce(std::size_t device, const char* action) {
  std::string usbDevice = SysPaths(testbed_->nodes.at(device)->device, static_cast<int>(device)).front();
  umockdev_testbed_uevent(testbed_->testbed, usbDevice.c_str(), action);
}

std::string EmulatedUsb::Directory() const { return umockdev_testbed_get_root_dir(testbed_->testbed); }

void EmulatedUsb::SendInputReport(std::size_t device, const std::vector<std::uint8_t>& report) {
  int node = umockdev_testbed_get_dev_fd(testbed_->testbed, HidrawPath(device).c_str());
  ASSERT_EQ(::write(node, report.data(), report.size()), static_cast<ssize_t>(report.size()));
}

}  // namespace tessora::test

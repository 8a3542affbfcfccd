#include "engine/eeprom_transfer.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/hid_requests.h"

namespace tessora {

namespace {

constexpr std::uint32_t kMaxDriverMemoryChunk = 128;

bool UsesFeatureReports(const EngineContext& context) { return context.settings.hidUseFeature != 0; }

// The length a request goes out with. A device whose reports are longer than the request
// buffer, or too short to carry the whole request, is not used: a cut request could
// write part of a page and still be reported as sent.
std::uint32_t RequestLength(const EngineContext& context, std::size_t needed) {
  const HidReportPort& device = *context.hidDevice;
  std::uint32_t length = UsesFeatureReports(context) ? device.FeatureReportLength() : device.OutputReportLength();
  if (length > kHidRequestSize || length < needed) return 0;
  return length;
}

bool SendHidRequest(EngineContext& context, HidRequest& request, std::size_t needed) {
  if (!context.hidDevice || needed == 0) return false;
  std::uint32_t length = RequestLength(context, needed);
  if (length == 0) return false;
  return UsesFeatureReports(context) ? context.hidDevice->SetFeatureReport(request.data(), length)
                                     : context.hidDevice->WriteReport(request.data(), length);
}

// The answer of a bus read arrives in the same buffer: the next feature report, or the
// next input report. It must be long enough to hold every byte asked for.
bool FetchHidAnswer(EngineContext& context, HidRequest& request, std::uint32_t count) {
  HidReportPort& device = *context.hidDevice;
  std::size_t needed = 2 + static_cast<std::size_t>(count);
  if (UsesFeatureReports(context)) {
    std::uint32_t length = RequestLength(context, needed);
    return length != 0 && device.GetFeatureReport(request.data(), length);
  }
  std::uint32_t length = device.InputReportLength();
  if (length > kHidRequestSize || length < needed) return false;
  return device.ReadReport(request.data(), length) != 0;
}

int ReadHidBlock(EngineContext& context, std::uint8_t busAddress, int width, const std::uint8_t* subaddress,
                 std::uint32_t count, std::uint8_t* destination) {
  HidRequest request;
  std::size_t used = BuildBusReadRequest(busAddress, width, subaddress, count, request);
  if (!SendHidRequest(context, request, used)) return 1;
  if (!FetchHidAnswer(context, request, count)) return 1;
  if (request[1] != kHidBusRead) return 1;
  std::memcpy(destination, request.data() + 2, count);
  return 0;
}

std::uint32_t WriteHidMemoryChunk(EngineContext& context, std::uint16_t address, const std::uint8_t* data,
                                  std::uint32_t count) {
  HidRequest request;
  std::size_t used = BuildMemoryWriteRequest(address, std::span(data, count), request);
  return SendHidRequest(context, request, used) ? count : 0;
}

bool IsValidWidth(int width) { return width == 1 || width == 2; }

}  // namespace

std::uint32_t CapacityForWidth(int width) {
  if (width == 2) return static_cast<std::uint32_t>(MaxEepromSize);
  if (width == 1) return 256;
  return 0;
}

void EncodeSubaddress(std::uint32_t position, int width, std::uint8_t (&subaddress)[2]) {
  if (width == 2) {
    subaddress[0] = static_cast<std::uint8_t>(position >> 8);
    subaddress[1] = static_cast<std::uint8_t>(position);
  } else {
    subaddress[0] = static_cast<std::uint8_t>(position);
    subaddress[1] = 0;
  }
}

std::uint32_t WriteDeviceMemory(EngineContext& context, std::uint16_t address, std::uint32_t count,
                                const std::uint8_t* data) {
  if (data == nullptr) return 0;
  bool hid = context.settings.useHid != 0;
  std::uint32_t chunkLimit = hid ? kMaxHidChunk : kMaxDriverMemoryChunk;
  std::uint32_t delivered = 0;
  while (delivered < count) {
    std::uint32_t chunk = std::min(chunkLimit, count - delivered);
    std::uint16_t chunkAddress = static_cast<std::uint16_t>(address + delivered);
    std::uint32_t sent = hid ? WriteHidMemoryChunk(context, chunkAddress, data + delivered, chunk)
                             : context.dispatch.DispatchMemoryWrite(context.currentDevice, chunkAddress, chunk,
                                                                     data + delivered);
    // What the transport reports is what arrived; after a short chunk the next one
    // would land at the wrong address.
    delivered += std::min(sent, chunk);
    if (sent < chunk) break;
  }
  return delivered;
}

int RebootDevice(EngineContext& context, int mode) {
  static const std::uint8_t kRequests[3][3] = {{0x00, 0x61, 0x06}, {0x20, 0x61, 0x06}, {0x00, 0x61, 0x07}};
  if (mode < 1 || mode > 3) return 0;
  return WriteDeviceMemory(context, kRebootAddress, 3, kRequests[mode - 1]) != 0 ? 1 : 0;
}

int WriteEepromBlock(EngineContext& context, std::uint8_t busAddress, int width, const std::uint8_t* subaddress,
                     std::uint32_t count, const std::uint8_t* data) {
  if (data == nullptr || width < 0 || width > 2 || count > kHidRequestSize - 8 - static_cast<std::uint32_t>(width))
    return 1;
  if (context.settings.useHid != 0) {
    HidRequest request;
    std::size_t used = BuildBusWriteRequest(busAddress, width, subaddress, std::span(data, count), request);
    return SendHidRequest(context, request, used) ? 0 : 1;
  }
  return static_cast<int>(context.dispatch.DispatchBusWrite(context.currentDevice, busAddress,
                                                            static_cast<std::uint16_t>(width), subaddress,
                                                            static_cast<std::uint16_t>(count), data));
}

int ReadEepromBlock(EngineContext& context, std::uint8_t busAddress, int width, const std::uint8_t* subaddress,
                    std::uint32_t count, std::uint8_t* destination) {
  if (destination == nullptr || count == 0 || count > kMaxHidChunk || width < 0 || width > 2) return 1;
  if (context.settings.useHid != 0) return ReadHidBlock(context, busAddress, width, subaddress, count, destination);
  return static_cast<int>(context.dispatch.DispatchBusRead(context.currentDevice, busAddress,
                                                           static_cast<std::uint16_t>(width), subaddress,
                                                           static_cast<std::uint16_t>(count), destination));
}

int ReadEepromRange(EngineContext& context, std::uint8_t busAddress, int width, std::uint32_t position,
                    std::uint32_t count, std::uint8_t* destination) {
  if (destination == nullptr || !IsValidWidth(width)) return 1;
  for (std::uint32_t done = 0; done < count;) {
    std::uint32_t length = std::min(kLongestBusRead, count - done);
    std::uint8_t subaddress[2];
    EncodeSubaddress(position + done, width, subaddress);
    if (int result = ReadEepromBlock(context, busAddress, width, subaddress, length, destination + done); result != 0)
      return result;
    done += length;
  }
  return 0;
}

std::int32_t ReadHeaderSize(EngineContext& context, std::uint8_t busAddress, int width) {
  if (!IsValidWidth(width)) return 0;
  std::uint8_t second[2];
  std::uint8_t first[2];
  std::uint8_t subaddress[2];
  EncodeSubaddress(11, width, subaddress);
  if (ReadEepromBlock(context, busAddress, width, subaddress, 2, second) != 0) return 0;
  EncodeSubaddress(9, width, subaddress);
  if (ReadEepromBlock(context, busAddress, width, subaddress, 2, first) != 0) return 0;
  return (first[0] * 256 + first[1]) + (second[0] * 256 + second[1]);
}

int ClearEepromPages(EngineContext& context, Progress& progress, std::uint8_t busAddress, int width,
                     std::uint16_t pageSize) {
  // A width the program cannot address clears nothing, which must not pass for success.
  if (!IsValidWidth(width) || pageSize == 0 || pageSize > kMaxEepromPage) return 1;
  std::vector<std::uint8_t> blank(pageSize + 1u, 0xFF);
  std::vector<std::uint8_t> readBack(pageSize);
  std::uint32_t pages = CapacityForWidth(width) / pageSize;
  for (std::uint32_t page = 0; page < pages; ++page) {
    // From the header's end on, a stop leaves a board that starts from its ROM.
    if (page * pageSize >= kHeaderBytes && StopRequested(context)) return 1;
    std::uint8_t subaddress[2];
    EncodeSubaddress(page * pageSize, width, subaddress);
    if (WriteEepromBlock(context, busAddress, width, subaddress, pageSize, blank.data()) != 0) return 1;
    if (ReadEepromBlock(context, busAddress, width, subaddress, pageSize, readBack.data()) != 0) return 1;
    if (!std::equal(readBack.begin(), readBack.end(), blank.begin())) return 1;
    progress.ProgressStep();
  }
  return 0;
}

}  // namespace tessora

#include "sim/board/sim_board.h"

#include <algorithm>
#include <cstdio>

namespace tessora::sim {

namespace {

constexpr std::uint16_t kRebootAddress = 0xB001;
constexpr std::uint8_t kStatusDone = 0x80;
constexpr std::uint8_t kStatusFailed = 0x01;
constexpr std::uint8_t kStatusBusy = 0x00;

std::optional<RebootMode> RebootRequested(std::uint16_t address, std::span<const std::uint8_t> data) {
  if (address != kRebootAddress || data.size() != 3 || data[1] != 0x61 || data[2] != 0x06) return std::nullopt;
  if (data[0] == 0x20) return RebootMode::Rom;
  if (data[0] == 0x00) return RebootMode::Eeprom;
  return std::nullopt;
}

std::string Hex16(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04x", value & 0xFFFFu);
  return text;
}

BusTransaction Transaction(std::uint8_t addressByte, std::span<const std::uint8_t> subaddress,
                           std::span<const std::uint8_t> writeData, std::size_t readCount, bool acknowledged) {
  bool read = (addressByte & 1) != 0;
  return BusTransaction{read, subaddress.size(), read ? readCount : writeData.size(), acknowledged};
}

}  // namespace

std::string HexBytes(std::span<const std::uint8_t> bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (std::uint8_t byte : bytes) {
    text.push_back(kDigits[byte >> 4]);
    text.push_back(kDigits[byte & 0xF]);
  }
  return text;
}

SimBoard::SimBoard(BoardConfig config, std::vector<std::uint8_t> eepromContents)
    : config_(config), timing_(config_), eeprom_(std::move(eepromContents), config.pageSize) {}

bool SimBoard::Present() const {
  std::lock_guard lock(mutex_);
  return !Gone();
}

void SimBoard::Unplug() {
  std::lock_guard lock(mutex_);
  unplugged_ = true;
}

void SimBoard::KeepTime(OsServices& clock) {
  std::lock_guard lock(mutex_);
  config_.keepsTime = true;
  timing_.SetClock(clock);
}

void SimBoard::MeterCpu(OsServices& os) {
  std::lock_guard lock(mutex_);
  meter_.Start(os);
}

std::uint64_t SimBoard::CpuMicroseconds() const {
  std::lock_guard lock(mutex_);
  return meter_.Microseconds();
}

void SimBoard::UsbRequest() {
  std::lock_guard lock(mutex_);
  CpuMeter::Span span(meter_);
  timing_.Arrive();
  if (!Gone()) timing_.Request();
}

void SimBoard::Replug() {
  std::lock_guard lock(mutex_);
  unplugged_ = false;
  config_.failAfter.reset();
}

void SimBoard::SetPlugSensor(std::function<bool()> pluggedIn) {
  std::lock_guard lock(mutex_);
  pluggedIn_ = std::move(pluggedIn);
}

void SimBoard::SetTraceSink(std::function<void(const std::string&)> sink) {
  std::lock_guard lock(mutex_);
  traceSink_ = std::move(sink);
}

std::vector<std::string> SimBoard::TraceLines() const {
  std::lock_guard lock(mutex_);
  return trace_;
}

std::vector<RebootMode> SimBoard::Reboots() const {
  std::lock_guard lock(mutex_);
  return reboots_;
}

std::uint64_t SimBoard::UsbRequests() const {
  std::lock_guard lock(mutex_);
  return timing_.Requests();
}

bool SimBoard::Admit() {
  if (Gone()) return false;
  if (config_.failAfter && served_ >= *config_.failAfter) {
    unplugged_ = true;
    return false;
  }
  ++served_;
  return true;
}

void SimBoard::Trace(const std::string& line) {
  trace_.push_back(line);
  if (traceSink_) traceSink_(line);
}

bool SimBoard::MemoryWrite(Face face, std::uint16_t address, std::span<const std::uint8_t> data) {
  std::lock_guard lock(mutex_);
  CpuMeter::Span span(meter_);
  timing_.Arrive();
  if (!Admit()) return false;
  if (std::optional<RebootMode> mode = RebootRequested(address, data)) {
    reboots_.push_back(*mode);
    Trace(std::string(FaceName(face)) + " reboot mode=" + (*mode == RebootMode::Rom ? "rom" : "eeprom"));
  } else {
    Trace(std::string(FaceName(face)) + " mem-write addr=" + Hex16(address) + " len=" + std::to_string(data.size()) +
          " data=" + HexBytes(data));
  }
  for (std::size_t i = 0; i < data.size(); ++i) memory_[(address + i) & 0xFFFF] = data[i];
  timing_.Request();
  return true;
}

std::optional<std::vector<std::uint8_t>> SimBoard::MemoryRead(Face face, std::uint16_t address, std::size_t count) {
  std::lock_guard lock(mutex_);
  CpuMeter::Span span(meter_);
  timing_.Arrive();
  if (!Admit()) return std::nullopt;
  Trace(std::string(FaceName(face)) + " mem-read addr=" + Hex16(address) + " len=" + std::to_string(count));
  std::vector<std::uint8_t> out(count);
  for (std::size_t i = 0; i < count; ++i) out[i] = memory_[(address + i) & 0xFFFF];
  timing_.Request();
  return out;
}

BusOutcome SimBoard::BusTransfer(Face face, std::uint8_t addressByte, std::span<const std::uint8_t> subaddress,
                                 std::span<const std::uint8_t> writeData, std::size_t readCount) {
  std::lock_guard lock(mutex_);
  CpuMeter::Span span(meter_);
  timing_.Arrive();
  BusOutcome outcome = TransferLocked(face, addressByte, subaddress, writeData, readCount);
  if (outcome.answered)
    timing_.RequestThroughBus(Transaction(addressByte, subaddress, writeData, readCount, outcome.acknowledged));
  return outcome;
}

BusOutcome SimBoard::TransferLocked(Face face, std::uint8_t addressByte, std::span<const std::uint8_t> subaddress,
                                    std::span<const std::uint8_t> writeData, std::size_t readCount) {
  BusOutcome outcome;
  if (!Admit()) return outcome;
  outcome.answered = true;
  bool isRead = (addressByte & 1) != 0;
  bool addressed = (addressByte >> 1) == config_.eepromAddress;
  if (isRead) {
    bool refused = config_.refuseReadLength != 0 && readCount == config_.refuseReadLength;
    outcome.acknowledged = addressed && !refused && eeprom_.AcceptsRead(subaddress);
    if (outcome.acknowledged) {
      outcome.data = eeprom_.Read(subaddress, readCount);
      if (config_.corruptReadback) {
        std::size_t start = eeprom_.AddressFor(subaddress);
        for (std::size_t i = 0; i < outcome.data.size(); ++i)
          if ((start + i) % eeprom_.Size() == *config_.corruptReadback) outcome.data[i] ^= 0xFF;
      }
    }
  } else {
    outcome.acknowledged = addressed && eeprom_.AcceptsWrite(subaddress) && writeData.size() <= config_.writeLimit;
    if (outcome.acknowledged) eeprom_.Write(subaddress, writeData);
  }
  char head[64];
  std::snprintf(head, sizeof head, " %s dev=%02x sub=", isRead ? "bus-read" : "bus-write", (addressByte >> 1) & 0x7F);
  std::string line = std::string(FaceName(face)) + head + HexBytes(subaddress) +
                     " len=" + std::to_string(isRead ? readCount : writeData.size());
  if (!isRead) line += " data=" + HexBytes(writeData);
  line += outcome.acknowledged ? " result=ok" : " result=fail";
  Trace(line);
  return outcome;
}

// Packet: address byte, length high, length low, subaddress count n, n subaddress
// bytes, 0xFF 0xFF, then the data of a write.
bool SimBoard::BusCommand(Face face, std::span<const std::uint8_t> packet) {
  std::lock_guard lock(mutex_);
  CpuMeter::Span span(meter_);
  timing_.Arrive();
  if (Gone() || packet.size() < 6) return false;
  std::size_t length = (static_cast<std::size_t>(packet[1]) << 8) | packet[2];
  std::size_t subCount = packet[3];
  if (packet.size() < 6 + subCount) return false;
  std::span<const std::uint8_t> subaddress = packet.subspan(4, subCount);
  bool isRead = (packet[0] & 1) != 0;
  std::span<const std::uint8_t> data = packet.subspan(6 + subCount);
  if (isRead ? !data.empty() : data.size() != length) return false;
  BusOutcome outcome = TransferLocked(face, packet[0], subaddress, isRead ? std::span<const std::uint8_t>{} : data,
                                      isRead ? length : 0);
  if (!outcome.answered) return false;
  timing_.StartBusCommand(Transaction(packet[0], subaddress, isRead ? std::span<const std::uint8_t>{} : data,
                                      isRead ? length : 0, outcome.acknowledged));
  bus_.active = true;
  bus_.busyPollsLeft = config_.BusyPolls();
  bus_.finalStatus = outcome.acknowledged ? config_.doneStatus : kStatusFailed;
  bus_.data = std::move(outcome.data);
  return true;
}

std::optional<std::uint8_t> SimBoard::BusStatus() {
  std::lock_guard lock(mutex_);
  CpuMeter::Span span(meter_);
  timing_.Arrive();
  if (Gone()) return std::nullopt;
  timing_.Request();
  if (config_.statusReadFails > 0) {
    --config_.statusReadFails;
    return std::nullopt;
  }
  if (!bus_.active) return kStatusDone;
  if (bus_.busyPollsLeft < 0 || timing_.CommandRunning()) return kStatusBusy;
  if (bus_.busyPollsLeft > 0) {
    --bus_.busyPollsLeft;
    return kStatusBusy;
  }
  return bus_.finalStatus;
}

std::optional<std::vector<std::uint8_t>> SimBoard::BusData(std::size_t count) {
  std::lock_guard lock(mutex_);
  CpuMeter::Span span(meter_);
  timing_.Arrive();
  if (Gone()) return std::nullopt;
  timing_.Request();
  std::size_t available = std::min(count, bus_.data.size());
  available -= std::min<std::size_t>(available, config_.shortBusData);
  return std::vector<std::uint8_t>(bus_.data.begin(), bus_.data.begin() + static_cast<std::ptrdiff_t>(available));
}

bool SimBoard::TakeCrcError() {
  std::lock_guard lock(mutex_);
  if (config_.crcErrors == 0) return false;
  --config_.crcErrors;
  return true;
}

}  // namespace tessora::sim

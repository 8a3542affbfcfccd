#include "sim/board/hid_face.h"

#include <algorithm>
#include <cstring>

namespace tessora::sim {

std::optional<std::vector<std::uint8_t>> HidFace::Execute(const std::uint8_t* report, std::uint32_t length,
                                                          std::uint32_t answerLength, bool& accepted) {
  accepted = false;
  if (length < 2 || report[0] != kReportId) return std::nullopt;
  // The device sees only what the report carried; whatever the request needed beyond
  // that reads as zeros, as it would in a real report buffer.
  std::vector<std::uint8_t> request(std::max<std::size_t>(length, 16), 0);
  std::memcpy(request.data(), report, length);
  auto zeroPaddedTo = [&request](std::size_t size) {
    if (request.size() < size) request.resize(size, 0);
    return std::span<const std::uint8_t>(request);
  };
  switch (request[1]) {
    case kMemoryWrite: {
      std::uint16_t address = static_cast<std::uint16_t>((request[2] << 8) | request[3]);
      std::size_t count = request[4];
      accepted = board_.MemoryWrite(Face::Hid, address, zeroPaddedTo(5 + count).subspan(5, count));
      return std::nullopt;
    }
    case kBusWrite: {
      std::size_t count = (static_cast<std::size_t>(request[3]) << 8) | request[4];
      std::size_t width = std::min<std::size_t>(request[5], 2);
      std::span<const std::uint8_t> all = zeroPaddedTo(8 + width + count);
      BusOutcome outcome =
          board_.BusTransfer(Face::Hid, request[2], all.subspan(6, width), all.subspan(8 + width, count), 0);
      accepted = outcome.answered;
      return std::nullopt;
    }
    case kBusRead: {
      std::size_t count = (static_cast<std::size_t>(request[3]) << 8) | request[4];
      std::size_t width = std::min<std::size_t>(request[5], 2);
      std::span<const std::uint8_t> all = zeroPaddedTo(8);
      BusOutcome outcome = board_.BusTransfer(Face::Hid, request[2], all.subspan(6, width), {}, count);
      accepted = outcome.answered;
      if (!accepted) return std::nullopt;
      std::vector<std::uint8_t> answer(answerLength, 0);
      if (answerLength > 0) answer[0] = kReportId;
      if (answerLength > 1) answer[1] = outcome.acknowledged ? kBusRead : 0x00;
      for (std::size_t i = 0; i < outcome.data.size() && 2 + i < answerLength; ++i) answer[2 + i] = outcome.data[i];
      return answer;
    }
    default:
      return std::nullopt;
  }
}

bool HidFace::SetFeature(const std::uint8_t* report, std::uint32_t length) {
  std::lock_guard lock(mutex_);
  std::uint32_t reportLength = board_.Config().featureReportLength;
  if (report == nullptr || reportLength == 0 || length != reportLength || !board_.Present()) return false;
  bool accepted = false;
  std::optional<std::vector<std::uint8_t>> answer = Execute(report, length, reportLength, accepted);
  if (answer) featureAnswer_ = std::move(answer);
  return accepted;
}

// Without a pending answer the controller still hands out report 0xFF: this is what
// tells it apart from other HID devices.
bool HidFace::GetFeature(std::uint8_t* report, std::uint32_t length) {
  std::lock_guard lock(mutex_);
  std::uint32_t reportLength = board_.Config().featureReportLength;
  if (report == nullptr || reportLength == 0 || length != reportLength || report[0] != kReportId ||
      !board_.Present())
    return false;
  board_.UsbRequest();
  if (featureAnswer_) {
    std::memcpy(report, featureAnswer_->data(), length);
    featureAnswer_.reset();
  } else {
    std::memset(report + 1, 0, length - 1);
  }
  return true;
}

bool HidFace::WriteOutput(const std::uint8_t* report, std::uint32_t length) {
  std::lock_guard lock(mutex_);
  std::uint32_t reportLength = board_.Config().outputReportLength;
  if (report == nullptr || reportLength == 0 || length != reportLength || !board_.Present()) return false;
  bool accepted = false;
  std::optional<std::vector<std::uint8_t>> answer =
      Execute(report, length, board_.Config().inputReportLength, accepted);
  if (answer) inputReports_.push_back(std::move(*answer));
  return accepted;
}

bool HidFace::ReadInput(std::uint8_t* report, std::uint32_t length, std::uint32_t* read) {
  std::lock_guard lock(mutex_);
  if (read != nullptr) *read = 0;
  if (report == nullptr || inputReports_.empty() || !board_.Present()) return false;
  std::uint32_t reportLength = static_cast<std::uint32_t>(inputReports_.front().size());
  if (length < reportLength) return false;
  board_.UsbRequest();
  std::memcpy(report, inputReports_.front().data(), reportLength);
  inputReports_.pop_front();
  if (read != nullptr) *read = reportLength;
  return true;
}

void HidFace::QueueInput(std::vector<std::uint8_t> report) {
  std::lock_guard lock(mutex_);
  inputReports_.push_back(std::move(report));
}

bool HidFace::InputWaiting() const {
  std::lock_guard lock(mutex_);
  return !inputReports_.empty();
}

}  // namespace tessora::sim

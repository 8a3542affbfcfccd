#include "bench/ideal_host.h"

#include <algorithm>
#include <sstream>

#include "devlib/bus_command.h"
#include "platform/native_os_services.h"

namespace tessora::bench {

namespace {

struct TracedRequest {
  std::string face;
  std::string kind;
  sim::BusTransaction bus;
  std::size_t packetLength = 0;  // the driver transports' command packet
};

std::string Field(const std::string& line, const std::string& name) {
  std::size_t at = line.find(" " + name + "=");
  if (at == std::string::npos) return {};
  at += name.size() + 2;
  return line.substr(at, line.find(' ', at) - at);
}

TracedRequest Parse(const std::string& line) {
  TracedRequest request;
  std::istringstream words(line);
  words >> request.face >> request.kind;
  request.bus.read = request.kind == "bus-read";
  request.bus.subaddressBytes = Field(line, "sub").size() / 2;
  request.bus.dataBytes = static_cast<std::size_t>(std::stoul("0" + Field(line, "len")));
  request.bus.acknowledged = Field(line, "result") == "ok";
  request.packetLength = 6 + request.bus.subaddressBytes + (request.bus.read ? 0 : request.bus.dataBytes);
  return request;
}

}  // namespace

IdealHost::IdealHost(const sim::BoardConfig& timing)
    : native_(CreateNativeOsServices()), clock_(*native_), config_(timing), timing_(config_) {
  timing_.SetClock(clock_);
}

void IdealHost::CarryPerfectly(Interface interface, const sim::BusTransaction& transaction) {
  if (interface == Interface::Hid) {
    timing_.RequestThroughBus(transaction);
    if (transaction.read) timing_.Request();  // the answer's report
    return;
  }
  timing_.StartBusCommand(transaction);
  std::uint64_t done = timing_.CommandDoneAt();
  clock_.SleepUntilMicroseconds(done - std::min<std::uint64_t>(done, config_.latencyUs));
  timing_.Request();
  if (transaction.read) timing_.Request();  // the data fetch
}

void IdealHost::CarryOnSchedule(const std::string& traceLine) {
  TracedRequest request = Parse(traceLine);
  if (request.kind != "bus-read" && request.kind != "bus-write") return timing_.Request();
  if (request.face == "hid") return CarryPerfectly(Interface::Hid, request.bus);
  timing_.StartBusCommand(request.bus);
  if (request.face == "filterdriver") clock_.Sleep(BusCommandPause(request.packetLength));
  for (int poll = 0; poll < kMaxStatusPolls; ++poll) {
    timing_.Request();
    if (!timing_.CommandRunning()) break;
    clock_.Sleep(kStatusPollIntervalMs);
  }
  if (request.bus.read) timing_.Request();  // the data fetch
}

std::uint64_t ScheduleMicroseconds(const std::vector<std::string>& traceLines, const sim::BoardConfig& timing) {
  IdealHost host(timing);
  for (const std::string& line : traceLines) host.CarryOnSchedule(line);
  return host.Microseconds();
}

}  // namespace tessora::bench

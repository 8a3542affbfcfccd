#include "bench/ideal_host.h"

#include <sstream>

#include "devlib/bus_command.h"
#include "platform/native_os_services.h"
#include "sim/board/board_timing.h"
#include "sim/virtual_clock.h"

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

class IdealHost {
 public:
  IdealHost(const sim::BoardConfig& timing, HostPace pace)
      : native_(CreateNativeOsServices()), clock_(*native_), config_(timing), timing_(config_), pace_(pace) {
    timing_.SetClock(clock_);
  }

  void Carry(const TracedRequest& request) {
    bool bus = request.kind == "bus-read" || request.kind == "bus-write";
    if (!bus) return timing_.Request();
    if (request.face == "hid") {
      timing_.RequestThroughBus(request.bus);
      if (request.bus.read) timing_.Request();  // the answer's report
      return;
    }
    timing_.StartBusCommand(request.bus);
    if (pace_ == HostPace::PhysicalBound) {
      // The one status read leaves so that it arrives as the transaction ends.
      std::uint64_t leave = timing_.CommandDoneAt() - std::min<std::uint64_t>(timing_.CommandDoneAt(), config_.latencyUs);
      clock_.SleepUntilMicroseconds(leave);
      timing_.Request();
    } else {
      if (request.face == "filterdriver") clock_.Sleep(BusCommandPause(request.packetLength));
      bool running = true;
      for (int poll = 0; running && poll < kMaxStatusPolls; ++poll) {
        timing_.Request();
        running = timing_.CommandRunning();
        clock_.Sleep(kStatusPollIntervalMs);
      }
    }
    if (request.bus.read) timing_.Request();  // the data fetch
  }

  std::uint64_t Elapsed() { return clock_.MicrosecondCount(); }

 private:
  std::unique_ptr<OsServices> native_;
  VirtualClock clock_;
  sim::BoardConfig config_;
  sim::BoardTiming timing_;
  HostPace pace_;
};

}  // namespace

std::uint64_t IdealMicroseconds(const std::vector<std::string>& traceLines, const sim::BoardConfig& timing,
                                HostPace pace) {
  IdealHost host(timing, pace);
  for (const std::string& line : traceLines) host.Carry(Parse(line));
  return host.Elapsed();
}

}  // namespace tessora::bench

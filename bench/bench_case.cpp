#include "bench/bench_case.h"

#include <cstdio>

#include "engine/settings.h"

namespace tessora::bench {

const char* ProcedureName(Procedure procedure) {
  switch (procedure) {
    case Procedure::Update: return "update";
    case Procedure::ReadOut: return "read-out";
    case Procedure::Clear: return "clear";
    case Procedure::UpdateChanged: return "update-changed";
  }
  return "?";
}

std::vector<std::uint8_t> FullImage() {
  std::vector<std::uint8_t> image(MaxEepromSize);
  std::uint32_t state = 0x2545F491u;
  for (std::uint8_t& byte : image) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<std::uint8_t>(state >> 24);
  }
  const std::uint8_t lengths[] = {0x20, 0x00, 0x20, 0x00};  // 8192 + 8192 at bytes 9 to 12
  for (std::size_t i = 0; i < sizeof lengths; ++i) image[9 + i] = lengths[i];
  return image;
}

std::string ImageText(const std::vector<std::uint8_t>& image) {
  std::string text;
  char field[24];
  for (std::size_t address = 0; address < image.size(); ++address) {
    if (address % 16 == 0) {
      std::snprintf(field, sizeof field, "@%04zx", address);
      text += field;
    }
    std::snprintf(field, sizeof field, " %02x", image[address]);
    text += field;
    if (address % 16 == 15) text += "\n";
  }
  return text;
}

std::string TimingBoardConf(const sim::BoardConfig& timing) {
  char text[192];
  std::snprintf(text, sizeof text,
                "latency_us = %u\nwrite_cycle_us = %u\nbus_khz = %u\npage_size = %u\ncpu_log = yes\n",
                timing.latencyUs, timing.writeCycleUs, timing.busKhz, timing.pageSize);
  return text;
}

}  // namespace tessora::bench

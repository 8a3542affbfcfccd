#include "tests/support/test_support.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

namespace tessora::test {

std::string UniqueSerial() {
  static std::atomic<unsigned> counter{0};
  static const unsigned run = std::random_device{}();
  char serial[32];
  // Longer than the 16 characters the HID device object keeps of a serial number.
  std::snprintf(serial, sizeof serial, "TESSORA-T%08X%04X", run, counter++ & 0xFFFFu);
  return serial;
}

std::string UniquePort() {
  static std::atomic<unsigned> counter{0};
  static const unsigned run = std::random_device{}();
  unsigned next = counter++;
  char port[48];
  std::snprintf(port, sizeof port, "%u-%u.%u.%u.%u.%u", run % 250 + 1, (run >> 8) % 250 + 1, (run >> 16) % 250 + 1,
                (run >> 24) % 250 + 1, next / 250 % 250 + 1, next % 250 + 1);
  return port;
}

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  for (;;) {
    path_ = std::filesystem::temp_directory_path() /
            ("tessora-test-" + std::to_string(random()) + "-" + std::to_string(counter++));
    if (std::filesystem::create_directory(path_)) break;
  }
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string WriteFile(const std::string& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << contents;
  return path;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string ImageText(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  char piece[32];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i % 16 == 0) {
      std::snprintf(piece, sizeof piece, "%s@%04zx ", i == 0 ? "" : "\n", i);
      text += piece;
    }
    std::snprintf(piece, sizeof piece, "%02x ", bytes[i]);
    text += piece;
  }
  return text + "\n";
}

std::vector<std::uint8_t> PatternBytes(std::size_t size, unsigned seed) {
  std::vector<std::uint8_t> bytes(size);
  std::minstd_rand generator(seed);
  for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(generator());
  return bytes;
}

}  // namespace tessora::test

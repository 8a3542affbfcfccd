#include "sim/board/board_directory.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

#include "sim/board/name_hash.h"

namespace tessora::sim {

namespace fs = std::filesystem;

namespace {

bool ReadWholeFile(const fs::path& path, std::string& contents) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  contents = buffer.str();
  return !in.bad();
}

bool WriteWholeFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  fs::path temporary = path;
  temporary += ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) return false;
  }
  std::error_code failure;
  fs::rename(temporary, path, failure);
  if (failure) fs::remove(temporary, failure);
  return !failure;
}

std::uint32_t DirectoryHash(const fs::path& root) {
  std::error_code failure;
  fs::path canonical = fs::weakly_canonical(root, failure);
  return NameHash((failure ? root : canonical).string());
}

// "SIM" and the hash of the directory's canonical path.
std::string SerialFor(std::uint32_t hash) {
  char serial[16];
  std::snprintf(serial, sizeof serial, "SIM%08X", static_cast<unsigned>(hash));
  return serial;
}

// A place no other directory's board has: the hash spread over a bus from 1 to 4 and
// six ports from 1 to 32, as deep as USB goes.
std::string PortFor(std::uint32_t hash) {
  char port[32];
  std::snprintf(port, sizeof port, "%u-%u.%u.%u.%u.%u.%u", (hash >> 30) + 1, ((hash >> 25) & 31) + 1,
                ((hash >> 20) & 31) + 1, ((hash >> 15) & 31) + 1, ((hash >> 10) & 31) + 1, ((hash >> 5) & 31) + 1,
                (hash & 31) + 1);
  return port;
}

}  // namespace

BoardDirectory::BoardDirectory(std::string directory, std::string serial, std::string port,
                               std::unique_ptr<SimBoard> board, UniqueFile trace, UniqueFile cpuLog)
    : directory_(std::move(directory)),
      serial_(std::move(serial)),
      port_(std::move(port)),
      board_(std::move(board)),
      trace_(std::move(trace)),
      cpuLog_(std::move(cpuLog)) {
  std::FILE* traceFile = trace_.get();
  board_->SetTraceSink([traceFile](const std::string& line) {
    std::fprintf(traceFile, "%s\n", line.c_str());
    std::fflush(traceFile);
  });
  board_->SetPlugSensor([unplugged = fs::path(directory_) / "unplugged"] {
    std::error_code failure;
    return !fs::exists(unplugged, failure);
  });
}

BoardDirectory::~BoardDirectory() {
  if (cpuLog_)
    std::fprintf(cpuLog_.get(), "%llu\n", static_cast<unsigned long long>(board_->CpuMicroseconds()));
}

std::unique_ptr<BoardDirectory> BoardDirectory::Open(const std::string& directory, std::string& error) {
  fs::path root(directory);
  std::error_code failure;
  if (!fs::is_directory(root, failure)) {
    error = "board directory '" + directory + "' does not exist";
    return nullptr;
  }

  BoardConfig config;
  std::string text;
  if (fs::exists(root / "board.conf", failure)) {
    if (!ReadWholeFile(root / "board.conf", text)) {
      error = "cannot read " + (root / "board.conf").string();
      return nullptr;
    }
    if (!ParseBoardConfig(text, config, error)) return nullptr;
  }

  std::vector<std::uint8_t> contents;
  fs::path eepromFile = root / "eeprom.bin";
  if (fs::exists(eepromFile, failure)) {
    if (!ReadWholeFile(eepromFile, text)) {
      error = "cannot read " + eepromFile.string();
      return nullptr;
    }
    if (text.empty() || text.size() > kLargestEepromSize) {
      error = eepromFile.string() + " must hold 1 to 65536 bytes, not " + std::to_string(text.size());
      return nullptr;
    }
    contents.assign(text.begin(), text.end());
  } else {
    contents.assign(kDefaultEepromSize, 0xFF);
    if (!WriteWholeFile(eepromFile, contents)) {
      error = "cannot create " + eepromFile.string();
      return nullptr;
    }
  }

  UniqueFile part(std::fopen(eepromFile.string().c_str(), "r+b"));
  if (!part) {
    error = "cannot open " + eepromFile.string() + " for writing";
    return nullptr;
  }
  UniqueFile trace(std::fopen((root / "trace.log").string().c_str(), "ab"));
  if (!trace) {
    error = "cannot open " + (root / "trace.log").string();
    return nullptr;
  }
  UniqueFile cpuLog;
  if (config.cpuLog) {
    cpuLog.reset(std::fopen((root / "cpu.log").string().c_str(), "ab"));
    if (!cpuLog) {
      error = "cannot open " + (root / "cpu.log").string();
      return nullptr;
    }
  }
  std::uint32_t hash = DirectoryHash(root);
  std::string serial = config.serial.value_or(SerialFor(hash));
  std::string port = config.port.value_or(PortFor(hash));
  auto board = std::make_unique<SimBoard>(config, std::move(contents));
  board->EepromPart().KeepIn(std::move(part));
  return std::unique_ptr<BoardDirectory>(
      new BoardDirectory(directory, std::move(serial), std::move(port), std::move(board), std::move(trace),
                         std::move(cpuLog)));
}

}  // namespace tessora::sim

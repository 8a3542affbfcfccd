#include "platform/sim/board_directory.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

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

}  // namespace

BoardDirectory::BoardDirectory(std::string directory, std::unique_ptr<SimBoard> board,
                               UniqueFile trace)
    : directory_(std::move(directory)), board_(std::move(board)), trace_(std::move(trace)) {
  std::FILE* traceFile = trace_.get();
  board_->SetTraceSink([traceFile](const std::string& line) {
    std::fprintf(traceFile, "%s\n", line.c_str());
    std::fflush(traceFile);
  });
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

  UniqueFile trace(std::fopen((root / "trace.log").string().c_str(), "ab"));
  if (!trace) {
    error = "cannot open " + (root / "trace.log").string();
    return nullptr;
  }
  auto board = std::make_unique<SimBoard>(config, std::move(contents));
  return std::unique_ptr<BoardDirectory>(new BoardDirectory(directory, std::move(board), std::move(trace)));
}

bool BoardDirectory::Save(std::string& error) {
  fs::path eepromFile = fs::path(directory_) / "eeprom.bin";
  if (WriteWholeFile(eepromFile, board_->EepromPart().Contents())) return true;
  error = "cannot write " + eepromFile.string();
  return false;
}

}  // namespace tessora::sim

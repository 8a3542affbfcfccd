#pragma once
#include <cstdint>
#include <string>

#include "engine/eeprom_transfer.h"
#include "engine/engine_context.h"
#include "engine/image_format.h"
#include "engine/progress.h"

namespace tessora {

// Results of ReadImageFile below zero. Callers treat every result of 0 or less as
// "could not read the image".
constexpr int kImageNoBuffer = -1;
constexpr int kImageNoName = -2;
constexpr int kImageCannotOpen = -3;
// A data byte at or beyond the capacity, or an address above 0xFFFF.
constexpr int kImageBeyondCapacity = -4;
// A data token that holds no hexadecimal number (flashing a guess could brick a board),
// or a line too long to be part of an image.
constexpr int kImageBadToken = -5;

// Parses an image text file into buffer[address]; returns the image's length, the highest
// address given + 1. Addresses the file skips keep what the buffer held; an address given
// twice keeps its later byte. Only a regular file is read (-3 for anything else).
// A name wrapped in double quotes (as it comes from a command line) is opened without them.
int ReadImageFile(const char* fileName, std::uint8_t* buffer, int capacity);

// Reads EEPROM addresses [start, end) into an image file of the given format, one bus read
// per block of blockSize bytes (at most kMaxReadOutBlock), the last block shorter when the
// range ends inside it. The file is written in lines of kReadOutLine bytes whatever the
// block (text: one line each; Intel HEX: one data record each), or of the block when it is
// shorter, with one progress step per full line. The file is given the image only when the
// whole read succeeded (see OutputFile): a regular file stays as it was on failure. 0 =
// success; 1 = no name, bad block size, or a file that cannot be written (then fileProblem,
// when given, holds the system's reason); otherwise the code of the failed block read.
int ReadOutToFile(EngineContext& context, Progress& progress, const char* fileName, std::uint8_t busAddress,
                  std::uint16_t start, std::uint16_t end, std::uint16_t blockSize, int width,
                  ImageFormat format = ImageFormat::Text, std::string* fileProblem = nullptr);

// A read-out reads as much as the controller serves in one bus read; the lines of its file
// keep the image format's 16 bytes.
constexpr std::uint16_t kMaxReadOutBlock = static_cast<std::uint16_t>(kLongestBusRead);
constexpr std::uint16_t kReadOutLine = 16;
// The block sizes a read-out tries in turn, each for the whole range once the one before
// failed at a block.
constexpr std::uint16_t kReadOutBlocks[] = {kMaxReadOutBlock, 16, 8};

}  // namespace tessora

#pragma once
#include <cstdint>
#include <string>

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

// Reads EEPROM addresses [start, end) block by block into an image file of the given
// format (text: one line per block; Intel HEX: one data record per block). The file is
// given the image only when the whole read succeeded (see OutputFile): a regular file
// stays as it was on failure. 0 = success; 1 = no name, bad block size, or a file that
// cannot be written (then fileProblem, when given, holds the system's reason); otherwise
// the code of the failed block read.
int ReadOutToFile(EngineContext& context, Progress& progress, const char* fileName, std::uint8_t busAddress,
                  std::uint16_t start, std::uint16_t end, std::uint16_t blockSize, int width,
                  ImageFormat format = ImageFormat::Text, std::string* fileProblem = nullptr);

constexpr std::uint16_t kMaxReadOutBlock = 16;

}  // namespace tessora

#pragma once
#include <cstdint>
#include <string>

#include "engine/image_format.h"

namespace tessora {

// Reads an Intel HEX file (records 00 data, 01 end of file, 02 extended segment address,
// 04 extended linear address; every checksum checked) into buffer[address]. Returns the
// highest address plus one, with the addresses in between that no record gives set to
// 0xFF; a negative code with the line and address in `problem` otherwise.
int ReadIntelHexFile(const char* fileName, std::uint8_t* buffer, int capacity, ImageProblem& problem);

// One data record for `length` (at most 255) bytes at a 16-bit address, and the end record.
void AppendIntelHexData(std::string& text, std::uint16_t address, const std::uint8_t* bytes, std::size_t length);
void AppendIntelHexEnd(std::string& text);

}  // namespace tessora

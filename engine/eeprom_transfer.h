#pragma once
#include <cstdint>

#include "engine/engine_context.h"
#include "engine/hid_requests.h"
#include "engine/progress.h"

namespace tessora {

constexpr std::uint32_t kMaxEepromPage = 64;
// The EEPROM's first bytes hold the header the chip boots by.
constexpr std::uint32_t kHeaderBytes = 64;
constexpr std::uint16_t kRebootAddress = 0xB001;

// Bytes written into the controller's memory space, in chunks; 0 = nothing delivered.
std::uint32_t WriteDeviceMemory(EngineContext& context, std::uint16_t address, std::uint32_t count,
                                 const std::uint8_t* data);

// Mode 1 boots from the EEPROM, 2 forces the ROM boot, 3 is the third restart request.
// 1 when the request was delivered, 0 otherwise.
int RebootDevice(EngineContext& context, int mode);

// Block transfers at a subaddress of `width` bytes (high byte first). 0 = success.
int WriteEepromBlock(EngineContext& context, std::uint8_t busAddress, int width, const std::uint8_t* subaddress,
                     std::uint32_t count, const std::uint8_t* data);
int ReadEepromBlock(EngineContext& context, std::uint8_t busAddress, int width, const std::uint8_t* subaddress,
                    std::uint32_t count, std::uint8_t* destination);

// The longest bus read the controller is known to serve, on every interface: its read
// length travels in one byte on some of them, and a longer read could come back short
// or wrapped.
constexpr std::uint32_t kLongestBusRead = kMaxHidChunk;

// Reads [position, position + count) in reads of at most kLongestBusRead bytes. 0 =
// success, else the code of the failed block read.
int ReadEepromRange(EngineContext& context, std::uint8_t busAddress, int width, std::uint32_t position,
                    std::uint32_t count, std::uint8_t* destination);

// Image size recorded in the EEPROM header (sum of the lengths at bytes 9-10 and
// 11-12); 0 when it cannot be read.
std::int32_t ReadHeaderSize(EngineContext& context, std::uint8_t busAddress, int width);

// Writes 0xFF over the whole capacity of the width, verifying each page. 0 = success.
int ClearEepromPages(EngineContext& context, Progress& progress, std::uint8_t busAddress, int width,
                     std::uint16_t pageSize);

// Capacity of an EEPROM addressed with `width` subaddress bytes; 0 for another width.
std::uint32_t CapacityForWidth(int width);

// The subaddress bytes for a position, high byte first; a 1-byte width sends the low 8 bits.
void EncodeSubaddress(std::uint32_t position, int width, std::uint8_t (&subaddress)[2]);

}  // namespace tessora

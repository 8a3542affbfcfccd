#pragma once
// The 8-bit texts of the HID subsystem: device strings arrive as UTF-16 units in buffers
// that may hold no terminator, and every text lands in a fixed field.
#include <cstddef>

namespace tessora {

// As wcstombs_s converts in the "C" locale: each unit up to 0xFF becomes one byte, up to
// the first zero unit or the end of the units given. A larger unit, or a text that does
// not fit the destination with its terminator, gives the empty text and false.
bool NarrowLikeWcstombs(const char16_t* units, std::size_t unitCount, char* destination,
                        std::size_t destinationSize);

// Keeps the low byte of each unit, up to the first unit whose low byte is zero or the
// end of the units given, cut short where the destination ends.
void NarrowToLowBytes(const char16_t* units, std::size_t unitCount, char* destination,
                      std::size_t destinationSize);

// The text of a device that has no product or serial string, and of a product text
// asked for as none.
constexpr const char* kUnknownText = "unknown";
inline const char* TextOrUnknown(const char* text) { return text != nullptr ? text : kUnknownText; }

// Copies text with its terminator only when the whole of it fits.
bool CopyTextIfFits(const char* text, char* destination, std::size_t destinationSize);

}  // namespace tessora

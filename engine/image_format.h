#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessora {

// The image files the engine reads and writes: the text image format, Intel HEX and raw
// binary. The window program knows only the text format; the console program may choose.
enum class ImageFormat { Text, IntelHex, Binary };

// Results of ReadImageAs below zero besides those of ReadImageFile.
constexpr int kImageBadRecord = -6;     // an Intel HEX line that is not a record this reader takes
constexpr int kImageBadChecksum = -7;   // an Intel HEX record whose checksum does not match
constexpr int kImageOverlap = -8;       // two Intel HEX records give the same address
constexpr int kImageNoEndRecord = -9;   // an Intel HEX file that stops before its end-of-file record
constexpr int kImageAfterEnd = -10;     // an Intel HEX line other than a blank one after the end record
constexpr int kImageNotText = -11;      // a control byte in a text or Intel HEX file
constexpr int kImageUtf16 = -12;        // a text or Intel HEX file saved as UTF-16

// Where a read went wrong, for the message: the file's line (1-based, 0 when it has none),
// the EEPROM address concerned and the byte that is out of place.
struct ImageProblem {
  int line = 0;
  std::uint32_t address = 0;
  std::uint8_t byte = 0;
};

// Reads an image in the given format into buffer[address]. Returns the number of bytes
// to write from address 0: the data-byte count for a text image, the file size for a
// binary one, and for Intel HEX the highest address plus one, with the addresses no
// record gives set to 0xFF (erased). 0 or less as ReadImageFile: failure.
int ReadImageAs(const char* fileName, ImageFormat format, std::uint8_t* buffer, int capacity,
                ImageProblem* problem = nullptr);

// The image of a part with `width` subaddress bytes: 0xFF where the file gives nothing.
// Returns its size as ReadImageAs, or 0 or less.
int LoadImageForPart(const char* fileName, ImageFormat format, int width, std::vector<std::uint8_t>& image);

// The format of a file no option names: binary only when its name ends in ".bin" (no
// content tells a binary image from a text one that holds a stray byte), else Intel HEX
// when its first non-blank character is ":", else a text image. False when the file
// cannot be read.
bool DetectImageFormat(const char* fileName, ImageFormat& format);

// 0 when a text or Intel HEX file holds text only: no control byte but white space, and
// not UTF-16. Otherwise kImageNotText (problem.line and problem.byte say where and which),
// kImageUtf16 or kImageCannotOpen. A binary image is always 0. Read whole, so a stray
// byte anywhere is found, not only near the start.
int CheckImageText(const char* fileName, ImageFormat format, ImageProblem& problem);

// "text", "ihex", "bin"; ParseImageFormat also takes "hex" for the text format.
const char* ImageFormatName(ImageFormat format);
bool ParseImageFormat(std::string_view name, ImageFormat& format);

// What a failed read means, in words ("line 3: checksum does not match").
std::string DescribeImageError(int code, const ImageProblem& problem);

// The name without the double quotes a command line leaves around it (an opening quote,
// then a closing one).
std::string ImageFileNameWithoutQuotes(const char* fileName);

}  // namespace tessora

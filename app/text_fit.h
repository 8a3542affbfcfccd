#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace tessora {

// Steps from one character to the next in the program's multibyte encoding: UTF-8 on
// Linux, the active ANSI code page on Windows. Never steps past the terminator.
using CharStepper = const char* (*)(const char* text);

const char* NextUtf8Char(const char* text);

// Copies text into a buffer of `capacity` bytes, terminator included. What does not fit
// is cut at a character boundary and the cut marked with "...", so a shortened text is
// never mistaken for the whole one and never ends inside a character.
void CopyFitted(std::string_view text, char* buffer, std::size_t capacity, CharStepper next);

// "message\nfile name" in at most capacity - 1 bytes: the message stays whole and the
// file name loses its beginning ("...end of the name"), where the telling part is.
void ComposeWithFileName(std::string_view message, std::string_view fileName, char* buffer, std::size_t capacity,
                         CharStepper next);

}  // namespace tessora

#include "app/text_fit.h"

#include <cstring>
#include <vector>

namespace tessora {

namespace {

constexpr std::string_view kCutMark = "...";

// Offsets of every character boundary of text, in order, ending with text.size().
std::vector<std::size_t> Boundaries(const std::string& text, CharStepper next) {
  std::vector<std::size_t> offsets;
  const char* begin = text.c_str();
  const char* at = begin;
  while (*at != '\0') {
    offsets.push_back(static_cast<std::size_t>(at - begin));
    const char* following = next(at);
    at = following > at ? following : at + 1;
  }
  offsets.push_back(text.size());
  return offsets;
}

// The longest character-aligned prefix of text that is at most `room` bytes.
std::size_t PrefixFitting(const std::string& text, std::size_t room, CharStepper next) {
  std::size_t fit = 0;
  for (std::size_t offset : Boundaries(text, next)) {
    if (offset > room) break;
    fit = offset;
  }
  return fit;
}

// The longest character-aligned suffix of text that is at most `room` bytes.
std::size_t SuffixStartFitting(const std::string& text, std::size_t room, CharStepper next) {
  for (std::size_t offset : Boundaries(text, next))
    if (text.size() - offset <= room) return offset;
  return text.size();
}

void Store(const std::string& text, char* buffer, std::size_t capacity) {
  std::size_t length = text.size() < capacity ? text.size() : capacity - 1;
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
}

}  // namespace

const char* NextUtf8Char(const char* text) {
  if (*text == '\0') return text;
  const char* at = text + 1;
  while ((static_cast<unsigned char>(*at) & 0xC0) == 0x80) ++at;
  return at;
}

void CopyFitted(std::string_view text, char* buffer, std::size_t capacity, CharStepper next) {
  if (buffer == nullptr || capacity == 0) return;
  std::string whole(text.substr(0, text.find('\0')));
  if (whole.size() < capacity) return Store(whole, buffer, capacity);
  std::size_t room = capacity - 1 < kCutMark.size() ? 0 : capacity - 1 - kCutMark.size();
  Store(whole.substr(0, PrefixFitting(whole, room, next)) + std::string(kCutMark), buffer, capacity);
}

void ComposeWithFileName(std::string_view message, std::string_view fileName, char* buffer, std::size_t capacity,
                         CharStepper next) {
  if (buffer == nullptr || capacity == 0) return;
  std::string head = std::string(message.substr(0, message.find('\0'))) + "\n";
  std::string name(fileName.substr(0, fileName.find('\0')));
  if (head.size() + name.size() < capacity) return Store(head + name, buffer, capacity);
  if (head.size() + kCutMark.size() >= capacity) return CopyFitted(head + name, buffer, capacity, next);
  std::size_t room = capacity - 1 - head.size() - kCutMark.size();
  Store(head + std::string(kCutMark) + name.substr(SuffixStartFitting(name, room, next)), buffer, capacity);
}

}  // namespace tessora

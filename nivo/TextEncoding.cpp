#include "nivo/TextEncoding.h"

#include <cstdint>
#include <cstring>

namespace zu {
namespace nivo {

namespace {

// Windows-1252's characters at 0x80-0x9F, in UTF-8; from 0xA0 on the byte is the code point.
const char* const kWindows1252High[32] = {
    "\xE2\x82\xAC", "\xC2\x81",     "\xE2\x80\x9A", "\xC6\x92",     "\xE2\x80\x9E", "\xE2\x80\xA6",
    "\xE2\x80\xA0", "\xE2\x80\xA1", "\xCB\x86",     "\xE2\x80\xB0", "\xC5\xA0",     "\xE2\x80\xB9",
    "\xC5\x92",     "\xC2\x8D",     "\xC5\xBD",     "\xC2\x8F",     "\xC2\x90",     "\xE2\x80\x98",
    "\xE2\x80\x99", "\xE2\x80\x9C", "\xE2\x80\x9D", "\xE2\x80\xA2", "\xE2\x80\x93", "\xE2\x80\x94",
    "\xCB\x9C",     "\xE2\x84\xA2", "\xC5\xA1",     "\xE2\x80\xBA", "\xC5\x93",     "\xC2\x9D",
    "\xC5\xBE",     "\xC5\xB8"};

const std::uint64_t kHighBits = 0x8080808080808080ull;

// Offset of the first byte of text that starts no well-formed sequence, or npos.
std::size_t FindInvalidUtf8(const std::string& text) {
  const char* const data = text.data();
  const std::size_t size = text.size();
  std::size_t i = 0;
  while (i < size) {
    // Runs of ASCII, which most texts are, eight bytes at a time.
    std::uint64_t word;
    while (i + sizeof(word) <= size) {
      std::memcpy(&word, data + i, sizeof(word));
      if ((word & kHighBits) != 0)
        break;
      i += sizeof(word);
    }
    if (i >= size)
      break;
    const std::size_t length = Utf8SequenceLength(data + i, size - i);
    if (length == 0)
      return i;
    i += length;
  }
  return std::string::npos;
}

bool IsContinuation(unsigned char byte, unsigned char low = 0x80, unsigned char high = 0xBF) {
  return byte >= low && byte <= high;
}

}  // namespace

std::size_t Utf8SequenceLength(const char* data, std::size_t size) {
  if (size == 0)
    return 0;
  const unsigned char lead = static_cast<unsigned char>(data[0]);
  if (lead < 0x80)
    return 1;
  // The second byte's range rules out overlong forms (after 0xE0, 0xF0), surrogates (after
  // 0xED) and code points above U+10FFFF (after 0xF4).
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0)
      low = 0xA0;
    else if (lead == 0xED)
      high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0)
      low = 0x90;
    else if (lead == 0xF4)
      high = 0x8F;
  } else {
    return 0;
  }
  if (size < length || !IsContinuation(static_cast<unsigned char>(data[1]), low, high))
    return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (!IsContinuation(static_cast<unsigned char>(data[i])))
      return 0;
  }
  return length;
}

void AppendWindows1252(unsigned char byte, std::string& to) {
  if (byte < 0x80) {
    to += static_cast<char>(byte);
  } else if (byte < 0xA0) {
    to += kWindows1252High[byte - 0x80];
  } else {
    to += static_cast<char>(0xC0 | (byte >> 6));
    to += static_cast<char>(0x80 | (byte & 0x3F));
  }
}

bool IsValidUtf8(const std::string& text) {
  return FindInvalidUtf8(text) == std::string::npos;
}

std::string ToUtf8(std::string text) {
  std::size_t i = FindInvalidUtf8(text);
  if (i == std::string::npos)
    return text;
  std::string encoded;
  // Each byte taken as Windows-1252 grows by one or two.
  encoded.reserve(text.size() + text.size() / 4 + 8);
  encoded.append(text, 0, i);
  const char* const data = text.data();
  const std::size_t size = text.size();
  while (i < size) {
    const std::size_t length = Utf8SequenceLength(data + i, size - i);
    if (length == 0) {
      AppendWindows1252(static_cast<unsigned char>(data[i]), encoded);
      ++i;
    } else {
      encoded.append(data + i, length);
      i += length;
    }
  }
  return encoded;
}

const std::string& AsUtf8(const std::string& text, std::string& storage) {
  if (IsValidUtf8(text))
    return text;
  storage = ToUtf8(text);
  return storage;
}

}  // namespace nivo
}  // namespace zu

#pragma once

#include <cstddef>
#include <string>

namespace zu {
namespace nivo {

// Texts from the provider and from files are meant to be UTF-8, but some hold bytes of a
// single-byte code page (a Latin-1 "ö" is the byte 0xF6). Re-encoding makes any text UTF-8:
// every well-formed UTF-8 sequence is kept as it is, every other byte is read as a
// Windows-1252 character (Latin-1 with printable characters at 0x80-0x9F) and written as
// UTF-8. Well-formed means the shortest form of a code point up to U+10FFFF that is not a
// surrogate, complete within the text.

// Length of the well-formed UTF-8 sequence at the start of the size bytes at data: 1 for an
// ASCII byte, 2 to 4 for a longer sequence, 0 when none starts there (also for size 0).
std::size_t Utf8SequenceLength(const char* data, std::size_t size);

// Appends byte as the Windows-1252 character it stands for, in UTF-8. The five bytes the code
// page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the code points of the same
// value, as web browsers read them.
void AppendWindows1252(unsigned char byte, std::string& to);

// Whether the whole text is well-formed UTF-8. Fast on ASCII.
bool IsValidUtf8(const std::string& text);

// The text re-encoded; a valid text comes back as it is (moved, not copied).
std::string ToUtf8(std::string text);

// text itself when it is valid UTF-8, without a copy; otherwise storage, replaced by the text
// re-encoded.
const std::string& AsUtf8(const std::string& text, std::string& storage);

}  // namespace nivo
}  // namespace zu

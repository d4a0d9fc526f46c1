#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>
#include <vector>

namespace zu {
namespace string {

// s without leading and trailing characters for which isspace holds; bytes above 127 are
// never trimmed.
std::string TrimmSpaces(const std::string& s);

// Clears pieces, then stores the pieces of text between runs of any of the separator
// characters; empty pieces are never produced.
void Split(const std::string& text, const std::string& separators,
           std::vector<std::string>& pieces);
// At the first separator character: left = text before it, right = text after it, true.
// Without a separator: both empty, false.
bool Split(const std::string& text, const std::string& separators, std::string& left,
           std::string& right);
// Around the character at position (which belongs to neither side): true. std::string::npos
// or a position past the end: both empty, false.
bool Split(const std::string& text, std::string::size_type position, std::string& left,
           std::string& right);

// Conversions read the leading number as the matching C format does ("%hhd", "%hhu", "%hd",
// "%hu", "%d", "%u", "%ld", "%lu", "%f", "%lf": white space, an optional sign, the number; the
// rest of the text is ignored) and give 0 when nothing can be read. The integer conversions
// also give 0 for a value that does not fit the type, and the unsigned ones for a negative
// text ("-1" is 0, not the largest value).
int8_t ToSint8(const std::string& s);
uint8_t ToUint8(const std::string& s);
int16_t ToSint16(const std::string& s);
uint16_t ToUint16(const std::string& s);
int32_t ToSint32(const std::string& s);
uint32_t ToUint32(const std::string& s);
int64_t ToSint64(const std::string& s);
uint64_t ToUint64(const std::string& s);
float ToFloat(const std::string& s);
double ToDouble(const std::string& s);
// The leading hexadecimal number ("%llx"); 0 when nothing can be read or the value does not
// fit in 32 bits.
uint32_t HexToUint32(const std::string& s);

// Decimal text of the value.
std::string ToString(unsigned int value);
std::string ToString(int value);
std::string ToString(unsigned long value);
std::string ToString(long value);

// printf-style formatting into a std::string; never cut, whatever the length.
std::string Print(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string VPrint(const char* format, va_list arguments);
// vsnprintf into buffer; returns the length of the full result (as snprintf does), or a
// negative value on a format error.
int Snprintf(char* buffer, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

}  // namespace string

namespace wstring {

// UTF-8 encoding of a wide string; code points that are not valid Unicode become U+FFFD.
std::string ToString(const std::wstring& text);
// Decoding of UTF-8; invalid sequences become U+FFFD, one per offending byte.
std::wstring ToString(const std::string& text);

}  // namespace wstring
}  // namespace zu

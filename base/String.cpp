#include "base/String.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

namespace zu {
namespace string {

namespace {

bool IsTrimmable(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u < 128 && std::isspace(u);
}

template <class T>
T Scan(const std::string& s, const char* format) {
  T value{};
  if (std::sscanf(s.c_str(), format, &value) != 1)
    return T{};
  return value;
}

// The leading decimal number of s as scanf reads it (white space, an optional sign, digits;
// the rest ignored), but 0 when it does not fit in T: scanf's result is undefined there, and a
// negative text must not turn into a large unsigned value.
template <class T>
T ScanInteger(const std::string& s) {
  const char* text = s.c_str();
  while (std::isspace(static_cast<unsigned char>(*text)))
    ++text;
  char* end = nullptr;
  errno = 0;
  if constexpr (std::numeric_limits<T>::is_signed) {
    long long value = std::strtoll(text, &end, 10);
    if (end == text || errno == ERANGE || value < std::numeric_limits<T>::min() ||
        value > std::numeric_limits<T>::max())
      return T{};
    return static_cast<T>(value);
  } else {
    if (*text == '-')
      return T{};
    unsigned long long value = std::strtoull(text, &end, 10);
    if (end == text || errno == ERANGE || value > std::numeric_limits<T>::max())
      return T{};
    return static_cast<T>(value);
  }
}

}  // namespace

std::string TrimmSpaces(const std::string& s) {
  size_t begin = 0;
  size_t end = s.size();
  while (begin < end && IsTrimmable(s[begin]))
    ++begin;
  while (end > begin && IsTrimmable(s[end - 1]))
    --end;
  return s.substr(begin, end - begin);
}

void Split(const std::string& text, const std::string& separators,
           std::vector<std::string>& pieces) {
  pieces.clear();
  size_t position = 0;
  while (position < text.size()) {
    size_t begin = text.find_first_not_of(separators, position);
    if (begin == std::string::npos)
      break;
    size_t end = text.find_first_of(separators, begin);
    if (end == std::string::npos)
      end = text.size();
    pieces.push_back(text.substr(begin, end - begin));
    position = end;
  }
}

bool Split(const std::string& text, const std::string& separators, std::string& left,
           std::string& right) {
  return Split(text, text.find_first_of(separators), left, right);
}

bool Split(const std::string& text, std::string::size_type position, std::string& left,
           std::string& right) {
  if (position == std::string::npos || position >= text.size()) {
    left.clear();
    right.clear();
    return false;
  }
  std::string before = text.substr(0, position);
  std::string after = text.substr(position + 1);
  left.swap(before);
  right.swap(after);
  return true;
}

int8_t ToSint8(const std::string& s) {
  return ScanInteger<signed char>(s);
}
uint8_t ToUint8(const std::string& s) {
  return ScanInteger<unsigned char>(s);
}
int16_t ToSint16(const std::string& s) {
  return ScanInteger<short>(s);
}
uint16_t ToUint16(const std::string& s) {
  return ScanInteger<unsigned short>(s);
}
int32_t ToSint32(const std::string& s) {
  return ScanInteger<int>(s);
}
uint32_t ToUint32(const std::string& s) {
  return ScanInteger<unsigned int>(s);
}
int64_t ToSint64(const std::string& s) {
  return ScanInteger<long>(s);
}
uint64_t ToUint64(const std::string& s) {
  return ScanInteger<unsigned long>(s);
}
float ToFloat(const std::string& s) {
  return Scan<float>(s, "%f");
}
double ToDouble(const std::string& s) {
  return Scan<double>(s, "%lf");
}

uint32_t HexToUint32(const std::string& s) {
  // As "%llx" reads it (white space, an optional sign and "0x", hex digits), with an
  // overflow of 64 bits or a negative value counting as too large.
  const char* text = s.c_str();
  char* end = nullptr;
  errno = 0;
  unsigned long long value = std::strtoull(text, &end, 16);
  if (end == text || errno == ERANGE || value > 0xFFFFFFFFULL)
    return 0;
  return static_cast<uint32_t>(value);
}

std::string ToString(unsigned int value) {
  char buffer[32];
  int length = Snprintf(buffer, sizeof(buffer), "%u", value);
  return std::string(buffer, static_cast<size_t>(length));
}

std::string ToString(int value) {
  char buffer[32];
  int length = Snprintf(buffer, sizeof(buffer), "%d", value);
  return std::string(buffer, static_cast<size_t>(length));
}

std::string ToString(unsigned long value) {
  char buffer[32];
  int length = Snprintf(buffer, sizeof(buffer), "%lu", value);
  return std::string(buffer, static_cast<size_t>(length));
}

std::string ToString(long value) {
  char buffer[32];
  int length = Snprintf(buffer, sizeof(buffer), "%ld", value);
  return std::string(buffer, static_cast<size_t>(length));
}

std::string Print(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::string result = VPrint(format, arguments);
  va_end(arguments);
  return result;
}

std::string VPrint(const char* format, va_list arguments) {
  // Starts small and doubles until the whole result fits.
  std::vector<char> buffer(128);
  for (;;) {
    va_list copy;
    va_copy(copy, arguments);
    int length = std::vsnprintf(buffer.data(), buffer.size(), format, copy);
    va_end(copy);
    if (length < 0)
      return std::string();
    if (static_cast<size_t>(length) < buffer.size()) {
      return std::string(buffer.data(), static_cast<size_t>(length));
    }
    buffer.resize(buffer.size() * 2);
  }
}

int Snprintf(char* buffer, size_t size, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  int length = std::vsnprintf(buffer, size, format, arguments);
  va_end(arguments);
  return length;
}

}  // namespace string

namespace wstring {

namespace {

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
    cp = 0xFFFD;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

std::string ToString(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text)
    AppendUtf8(out, static_cast<uint32_t>(c));
  return out;
}

std::wstring ToString(const std::string& text) {
  std::wstring out;
  out.reserve(text.size());
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    uint32_t cp = 0;
    size_t extra = 0;
    uint32_t minimum = 0;
    if (c < 0x80) {
      out += static_cast<wchar_t>(c);
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F;
      extra = 1;
      minimum = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F;
      extra = 2;
      minimum = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      cp = c & 0x07;
      extra = 3;
      minimum = 0x10000;
    } else {
      out += static_cast<wchar_t>(0xFFFD);
      ++i;
      continue;
    }
    bool valid = i + extra < n;
    for (size_t k = 1; valid && k <= extra; ++k) {
      unsigned char cc = static_cast<unsigned char>(text[i + k]);
      if ((cc & 0xC0) != 0x80) {
        valid = false;
      } else {
        cp = (cp << 6) | (cc & 0x3F);
      }
    }
    if (!valid || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out += static_cast<wchar_t>(0xFFFD);
      ++i;
      continue;
    }
    out += static_cast<wchar_t>(cp);
    i += extra + 1;
  }
  return out;
}

}  // namespace wstring
}  // namespace zu

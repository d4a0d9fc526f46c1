#include "stream/imp/AsciiCodec.h"

#include <cctype>
#include <cstring>
#include <memory>

#include "base/String.h"
#include "stream/Stream.h"

namespace zu {
namespace imp {

namespace {

bool IsSpace(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// Reads one token; returns the bytes consumed, 0 when the data ended before a token started.
size_t ReadToken(Stream& stream, std::string& token) {
  token.clear();
  size_t consumed = 0;
  char c = 0;
  for (;;) {
    if (stream.ReadBytes(1, &c) != 1)
      return 0;
    ++consumed;
    if (!IsSpace(c))
      break;
  }
  token += c;
  while (stream.ReadBytes(1, &c) == 1) {
    ++consumed;
    if (IsSpace(c))
      break;
    token += c;
  }
  return consumed;
}

template <class T>
size_t ReadNumber(Stream& stream, T& value, T (*convert)(const std::string&)) {
  std::string token;
  size_t consumed = ReadToken(stream, token);
  if (consumed == 0)
    return 0;
  value = convert(token);
  return consumed;
}

// Formats into a buffer of the given size (the longest text of the type fits) and writes it.
template <size_t Size, class... Args>
size_t WriteFormatted(Stream& stream, const char* format, Args... args) {
  char buffer[Size];
  int length = zu::string::Snprintf(buffer, sizeof(buffer), format, args...);
  if (length <= 0)
    return 0;
  size_t count = std::min(static_cast<size_t>(length), sizeof(buffer) - 1);
  return stream.WriteBytes(count, buffer);
}

// The toolkit's conversions give fixed-width types; these adapt them to the codec's types.
signed char ToSchar(const std::string& s) {
  return zu::string::ToSint8(s);
}
unsigned char ToUchar(const std::string& s) {
  return zu::string::ToUint8(s);
}
short ToShort(const std::string& s) {
  return zu::string::ToSint16(s);
}
unsigned short ToUshort(const std::string& s) {
  return zu::string::ToUint16(s);
}
int ToInt(const std::string& s) {
  return zu::string::ToSint32(s);
}
unsigned int ToUint(const std::string& s) {
  return zu::string::ToUint32(s);
}
long ToLong(const std::string& s) {
  return zu::string::ToSint64(s);
}
unsigned long ToUlong(const std::string& s) {
  return zu::string::ToUint64(s);
}

}  // namespace

CodecPtr AsciiCodec::Clone() const {
  return std::make_shared<AsciiCodec>();
}

size_t AsciiCodec::Read(Stream& stream, signed char& value) {
  return ReadNumber(stream, value, &ToSchar);
}
size_t AsciiCodec::Read(Stream& stream, unsigned char& value) {
  return ReadNumber(stream, value, &ToUchar);
}
size_t AsciiCodec::Read(Stream& stream, short& value) {
  return ReadNumber(stream, value, &ToShort);
}
size_t AsciiCodec::Read(Stream& stream, unsigned short& value) {
  return ReadNumber(stream, value, &ToUshort);
}
size_t AsciiCodec::Read(Stream& stream, int& value) {
  return ReadNumber(stream, value, &ToInt);
}
size_t AsciiCodec::Read(Stream& stream, unsigned int& value) {
  return ReadNumber(stream, value, &ToUint);
}
size_t AsciiCodec::Read(Stream& stream, long& value) {
  return ReadNumber(stream, value, &ToLong);
}
size_t AsciiCodec::Read(Stream& stream, unsigned long& value) {
  return ReadNumber(stream, value, &ToUlong);
}
size_t AsciiCodec::Read(Stream& stream, float& value) {
  return ReadNumber(stream, value, &zu::string::ToFloat);
}
size_t AsciiCodec::Read(Stream& stream, double& value) {
  return ReadNumber(stream, value, &zu::string::ToDouble);
}

size_t AsciiCodec::Read(Stream& stream, std::string& value) {
  std::string line;
  size_t consumed = 0;
  char c = 0;
  for (;;) {
    if (stream.ReadBytes(1, &c) != 1) {
      value.clear();
      return 0;
    }
    ++consumed;
    if (c != '\r' && c != '\n')
      break;
  }
  line += c;
  while (stream.ReadBytes(1, &c) == 1) {
    ++consumed;
    if (c == '\r' || c == '\n')
      break;
    line += c;
  }
  value.swap(line);
  return consumed;
}

size_t AsciiCodec::Read(Stream& stream, std::wstring& value) {
  std::string narrow;
  size_t consumed = Read(stream, narrow);
  value = zu::wstring::ToString(narrow);
  return consumed;
}

size_t AsciiCodec::Read(Stream& stream, char& value) {
  char c = 0;
  if (stream.ReadBytes(1, &c) != 1)
    return 0;
  value = c;
  return 1;
}

size_t AsciiCodec::Read(Stream& stream, bool& value) {
  std::string token;
  size_t consumed = ReadToken(stream, token);
  if (consumed == 0)
    return 0;
  value = token == "1";
  return consumed;
}

size_t AsciiCodec::Write(Stream& stream, signed char value) {
  return WriteFormatted<16>(stream, "%hd", static_cast<short>(value));
}
size_t AsciiCodec::Write(Stream& stream, unsigned char value) {
  return WriteFormatted<16>(stream, "%hu", static_cast<unsigned short>(value));
}
size_t AsciiCodec::Write(Stream& stream, short value) {
  return WriteFormatted<16>(stream, "%hd", value);
}
size_t AsciiCodec::Write(Stream& stream, unsigned short value) {
  return WriteFormatted<16>(stream, "%hu", value);
}
size_t AsciiCodec::Write(Stream& stream, int value) {
  return WriteFormatted<32>(stream, "%d", value);
}
size_t AsciiCodec::Write(Stream& stream, unsigned int value) {
  return WriteFormatted<32>(stream, "%u", value);
}
size_t AsciiCodec::Write(Stream& stream, long value) {
  return WriteFormatted<64>(stream, "%ld", value);
}
size_t AsciiCodec::Write(Stream& stream, unsigned long value) {
  return WriteFormatted<64>(stream, "%lu", value);
}
size_t AsciiCodec::Write(Stream& stream, float value) {
  return WriteFormatted<32>(stream, "%g", static_cast<double>(value));
}
size_t AsciiCodec::Write(Stream& stream, double value) {
  return WriteFormatted<64>(stream, "%lg", value);
}

size_t AsciiCodec::Write(Stream& stream, const char* value) {
  if (value == nullptr)
    return 0;
  return stream.WriteBytes(std::strlen(value), value);
}

size_t AsciiCodec::Write(Stream& stream, const std::string& value) {
  return stream.WriteBytes(value.size(), value.data());
}

size_t AsciiCodec::Write(Stream& stream, const std::wstring& value) {
  return Write(stream, zu::wstring::ToString(value));
}

size_t AsciiCodec::Write(Stream& stream, char value) {
  return stream.WriteBytes(1, &value);
}

size_t AsciiCodec::Write(Stream& stream, bool value) {
  return stream.WriteBytes(1, value ? "1" : "0");
}

size_t AsciiCodec::WriteEndOfLine(Stream& stream) {
  return stream.WriteBytes(1, "\n");
}

size_t AsciiCodec::WriteSeparator(Stream& stream) {
  return stream.WriteBytes(1, " ");
}

}  // namespace imp
}  // namespace zu

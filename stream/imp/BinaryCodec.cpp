#include "stream/imp/BinaryCodec.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "base/String.h"
#include "output/Output.h"
#include "stream/Stream.h"

namespace zu {
namespace imp {

namespace {

// The largest piece of a string read at once; a length beyond what the stream delivers then
// costs at most this much before the read fails.
constexpr size_t kStringPiece = 64 * 1024;

}  // namespace

template <class Order>
CodecPtr BinaryCodec<Order>::Clone() const {
  return std::make_shared<BinaryCodec<Order>>();
}

template <class Order>
template <class T>
size_t BinaryCodec<Order>::ReadValue(Stream& stream, T& value) {
  T raw;
  if (stream.ReadBytes(sizeof(T), &raw) != sizeof(T))
    return 0;
  value = Order::Convert(raw);
  return sizeof(T);
}

template <class Order>
template <class T>
size_t BinaryCodec<Order>::WriteValue(Stream& stream, T value) {
  T raw = Order::Convert(value);
  return stream.WriteBytes(sizeof(T), &raw);
}

template <class Order>
size_t BinaryCodec<Order>::Read(Stream& stream, signed char& value) {
  return ReadValue(stream, value);
}
template <class Order>
size_t BinaryCodec<Order>::Read(Stream& stream, unsigned char& value) {
  return ReadValue(stream, value);
}
template <class Order>
size_t BinaryCodec<Order>::Read(Stream& stream, short& value) {
  return ReadValue(stream, value);
}
template <class Order>
size_t BinaryCodec<Order>::Read(Stream& stream, unsigned short& value) {
  return ReadValue(stream, value);
}
template <class Order>
size_t BinaryCodec<Order>::Read(Stream& stream, int& value) {
  return ReadValue(stream, value);
}
template <class Order>
size_t BinaryCodec<Order>::Read(Stream& stream, unsigned int& value) {
  return ReadValue(stream, value);
}
template <class Order>
size_t BinaryCodec<Order>::Read(Stream& stream, long& value) {
  return ReadValue(stream, value);
}
template <class Order>
size_t BinaryCodec<Order>::Read(Stream& stream, unsigned long& value) {
  return ReadValue(stream, value);
}
template <class Order>
size_t BinaryCodec<Order>::Read(Stream& stream, float& value) {
  return ReadValue(stream, value);
}
template <class Order>
size_t BinaryCodec<Order>::Read(Stream& stream, double& value) {
  return ReadValue(stream, value);
}

template <class Order>
size_t BinaryCodec<Order>::Read(Stream& stream, std::string& value) {
  uint32_t length = 0;
  if (ReadValue(stream, length) != sizeof(length))
    return 0;
  std::string text;
  size_t remaining = length;
  std::vector<char> piece(std::min(remaining, kStringPiece));
  while (remaining > 0) {
    size_t want = std::min(remaining, piece.size());
    size_t got = stream.ReadBytes(want, piece.data());
    // A stream may deliver less than asked only at its end or on failure.
    if (got != want)
      return 0;
    text.append(piece.data(), got);
    remaining -= got;
  }
  size_t nul = text.find('\0');
  if (nul != std::string::npos)
    text.resize(nul);
  value.swap(text);
  return sizeof(length) + length;
}

template <class Order>
size_t BinaryCodec<Order>::Read(Stream& stream, std::wstring& value) {
  std::string narrow;
  size_t consumed = Read(stream, narrow);
  if (consumed == 0)
    return 0;
  value = zu::wstring::ToString(narrow);
  return consumed;
}

template <class Order>
size_t BinaryCodec<Order>::Read(Stream& stream, char& value) {
  return ReadValue(stream, value);
}

template <class Order>
size_t BinaryCodec<Order>::Read(Stream& stream, bool& value) {
  unsigned char byte = 0;
  if (stream.ReadBytes(1, &byte) != 1)
    return 0;
  value = byte == 1;
  return 1;
}

template <class Order>
size_t BinaryCodec<Order>::Write(Stream& stream, signed char value) {
  return WriteValue(stream, value);
}
template <class Order>
size_t BinaryCodec<Order>::Write(Stream& stream, unsigned char value) {
  return WriteValue(stream, value);
}
template <class Order>
size_t BinaryCodec<Order>::Write(Stream& stream, short value) {
  return WriteValue(stream, value);
}
template <class Order>
size_t BinaryCodec<Order>::Write(Stream& stream, unsigned short value) {
  return WriteValue(stream, value);
}
template <class Order>
size_t BinaryCodec<Order>::Write(Stream& stream, int value) {
  return WriteValue(stream, value);
}
template <class Order>
size_t BinaryCodec<Order>::Write(Stream& stream, unsigned int value) {
  return WriteValue(stream, value);
}
template <class Order>
size_t BinaryCodec<Order>::Write(Stream& stream, long value) {
  return WriteValue(stream, value);
}
template <class Order>
size_t BinaryCodec<Order>::Write(Stream& stream, unsigned long value) {
  return WriteValue(stream, value);
}
template <class Order>
size_t BinaryCodec<Order>::Write(Stream& stream, float value) {
  return WriteValue(stream, value);
}
template <class Order>
size_t BinaryCodec<Order>::Write(Stream& stream, double value) {
  return WriteValue(stream, value);
}

template <class Order>
size_t BinaryCodec<Order>::WriteText(Stream& stream, const char* text, size_t length) {
  if (length > std::numeric_limits<uint32_t>::max()) {
    ZU_ERROR("ZUBASE", "Text of " + std::to_string(length) +
                           " bytes is too long for a binary stream; nothing written");
    return 0;
  }
  size_t written = WriteValue(stream, static_cast<uint32_t>(length));
  if (written != sizeof(uint32_t) || length == 0)
    return written;
  return written + stream.WriteBytes(length, text);
}

template <class Order>
size_t BinaryCodec<Order>::Write(Stream& stream, const char* value) {
  if (value == nullptr)
    return WriteText(stream, "", 0);
  return WriteText(stream, value, std::strlen(value));
}

template <class Order>
size_t BinaryCodec<Order>::Write(Stream& stream, const std::string& value) {
  return WriteText(stream, value.data(), value.size());
}

template <class Order>
size_t BinaryCodec<Order>::Write(Stream& stream, const std::wstring& value) {
  return Write(stream, zu::wstring::ToString(value));
}

template <class Order>
size_t BinaryCodec<Order>::Write(Stream& stream, char value) {
  return WriteValue(stream, value);
}

template <class Order>
size_t BinaryCodec<Order>::Write(Stream& stream, bool value) {
  unsigned char byte = value ? 1 : 0;
  return stream.WriteBytes(1, &byte);
}

template <class Order>
size_t BinaryCodec<Order>::WriteEndOfLine(Stream&) {
  return 0;
}

template <class Order>
size_t BinaryCodec<Order>::WriteSeparator(Stream&) {
  return 0;
}

template class BinaryCodec<Value>;
template class BinaryCodec<LittleEndianValue>;
template class BinaryCodec<BigEndianValue>;

}  // namespace imp
}  // namespace zu

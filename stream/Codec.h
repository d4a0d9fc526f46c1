#pragma once

#include <cstddef>
#include <string>

#include "base/SharedPtr.h"

namespace zu {

class Stream;
class Codec;
using CodecPtr = SharedPtr<Codec>;

// Turns typed values into bytes and back for a stream, moving the bytes with the stream's
// ReadBytes and WriteBytes. A codec has no state of its own, so one codec may serve several
// streams, but each stream normally gets its own (Clone).
//
// Every operation returns the number of bytes it took from or gave to the stream. A read that
// cannot obtain the bytes it needs returns 0 and leaves the target unchanged.
class Codec {
 public:
  // A new codec of the same class.
  virtual CodecPtr Clone() const = 0;
  // signed char and unsigned char are small numbers; char is one raw byte.
  virtual size_t Read(Stream& stream, signed char& value) = 0;
  virtual size_t Read(Stream& stream, unsigned char& value) = 0;
  virtual size_t Read(Stream& stream, short& value) = 0;
  virtual size_t Read(Stream& stream, unsigned short& value) = 0;
  virtual size_t Read(Stream& stream, int& value) = 0;
  virtual size_t Read(Stream& stream, unsigned int& value) = 0;
  virtual size_t Read(Stream& stream, long& value) = 0;
  virtual size_t Read(Stream& stream, unsigned long& value) = 0;
  virtual size_t Read(Stream& stream, float& value) = 0;
  virtual size_t Read(Stream& stream, double& value) = 0;
  virtual size_t Read(Stream& stream, std::string& value) = 0;
  virtual size_t Read(Stream& stream, std::wstring& value) = 0;
  virtual size_t Read(Stream& stream, char& value) = 0;
  virtual size_t Read(Stream& stream, bool& value) = 0;
  virtual size_t Write(Stream& stream, signed char value) = 0;
  virtual size_t Write(Stream& stream, unsigned char value) = 0;
  virtual size_t Write(Stream& stream, short value) = 0;
  virtual size_t Write(Stream& stream, unsigned short value) = 0;
  virtual size_t Write(Stream& stream, int value) = 0;
  virtual size_t Write(Stream& stream, unsigned int value) = 0;
  virtual size_t Write(Stream& stream, long value) = 0;
  virtual size_t Write(Stream& stream, unsigned long value) = 0;
  virtual size_t Write(Stream& stream, float value) = 0;
  virtual size_t Write(Stream& stream, double value) = 0;
  // A null pointer writes like an empty string.
  virtual size_t Write(Stream& stream, const char* value) = 0;
  virtual size_t Write(Stream& stream, const std::string& value) = 0;
  virtual size_t Write(Stream& stream, const std::wstring& value) = 0;
  virtual size_t Write(Stream& stream, char value) = 0;
  virtual size_t Write(Stream& stream, bool value) = 0;
  virtual size_t WriteEndOfLine(Stream& stream) = 0;
  virtual size_t WriteSeparator(Stream& stream) = 0;
  virtual ~Codec() = default;
};

}  // namespace zu

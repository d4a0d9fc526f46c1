#pragma once

#include "stream/ByteOrder.h"
#include "stream/Codec.h"

namespace zu {
namespace imp {

// Values as their bytes in the byte order of Order (zu::Value: the machine's own,
// zu::LittleEndianValue, zu::BigEndianValue): char 1 byte, short 2, int 4, long 8, float 4,
// double 8; bool one byte, 1 or 0 (only 1 reads as true). Strings are an unsigned 32-bit
// length in the same order followed by the bytes, without terminator; a string read assigns
// the text up to the first NUL. Wide strings travel as their UTF-8 form. End of line and
// separator write nothing.
//
// A read that cannot obtain all its bytes returns 0 and leaves the target unchanged. A string
// length larger than the data is never allocated up front: the text is read in bounded pieces,
// so a hostile length costs no more memory than the data really delivered.
template <class Order>
class BinaryCodec : public Codec {
 public:
  CodecPtr Clone() const override;
  size_t Read(Stream& stream, signed char& value) override;
  size_t Read(Stream& stream, unsigned char& value) override;
  size_t Read(Stream& stream, short& value) override;
  size_t Read(Stream& stream, unsigned short& value) override;
  size_t Read(Stream& stream, int& value) override;
  size_t Read(Stream& stream, unsigned int& value) override;
  size_t Read(Stream& stream, long& value) override;
  size_t Read(Stream& stream, unsigned long& value) override;
  size_t Read(Stream& stream, float& value) override;
  size_t Read(Stream& stream, double& value) override;
  size_t Read(Stream& stream, std::string& value) override;
  size_t Read(Stream& stream, std::wstring& value) override;
  size_t Read(Stream& stream, char& value) override;
  size_t Read(Stream& stream, bool& value) override;
  size_t Write(Stream& stream, signed char value) override;
  size_t Write(Stream& stream, unsigned char value) override;
  size_t Write(Stream& stream, short value) override;
  size_t Write(Stream& stream, unsigned short value) override;
  size_t Write(Stream& stream, int value) override;
  size_t Write(Stream& stream, unsigned int value) override;
  size_t Write(Stream& stream, long value) override;
  size_t Write(Stream& stream, unsigned long value) override;
  size_t Write(Stream& stream, float value) override;
  size_t Write(Stream& stream, double value) override;
  // A text longer than 4294967295 bytes cannot be written: logs an error, writes nothing and
  // returns 0.
  size_t Write(Stream& stream, const char* value) override;
  size_t Write(Stream& stream, const std::string& value) override;
  size_t Write(Stream& stream, const std::wstring& value) override;
  size_t Write(Stream& stream, char value) override;
  size_t Write(Stream& stream, bool value) override;
  size_t WriteEndOfLine(Stream& stream) override;
  size_t WriteSeparator(Stream& stream) override;

 private:
  template <class T>
  size_t ReadValue(Stream& stream, T& value);
  template <class T>
  size_t WriteValue(Stream& stream, T value);
  size_t WriteText(Stream& stream, const char* text, size_t length);
};

// The three instances are compiled once, in BinaryCodec.cpp.
extern template class BinaryCodec<Value>;
extern template class BinaryCodec<LittleEndianValue>;
extern template class BinaryCodec<BigEndianValue>;

}  // namespace imp
}  // namespace zu

#pragma once

#include "stream/Codec.h"

namespace zu {
namespace imp {

// Values as text. Writing adds no separators of its own: callers put WriteSeparator (" ") or
// WriteEndOfLine ("\n") between values.
//
// Reading numbers and bool takes a token: white space (CR and LF included) is skipped, the
// token runs to the next white space or the end, and the white space byte that ends it is
// consumed. A token that is not a number reads as 0; bool is true only for the token "1". When
// the data ends before a token starts, the read returns 0 and the target is unchanged.
//
// Reading a std::string takes a line: leading CR and LF bytes are skipped (so a CR LF pair and
// empty lines are passed over), the line runs to the next CR or LF (consumed) or the end, and
// leading spaces belong to it. At the end of the data the line is empty and the read returns 0.
class AsciiCodec : public Codec {
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
  size_t Write(Stream& stream, const char* value) override;
  size_t Write(Stream& stream, const std::string& value) override;
  size_t Write(Stream& stream, const std::wstring& value) override;
  size_t Write(Stream& stream, char value) override;
  size_t Write(Stream& stream, bool value) override;
  size_t WriteEndOfLine(Stream& stream) override;
  size_t WriteSeparator(Stream& stream) override;
};

}  // namespace imp
}  // namespace zu

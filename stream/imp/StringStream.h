#pragma once

#include <string>

#include "stream/imp/StreamBase.h"

namespace zu {
namespace imp {

// A stream over a std::string that the caller owns and keeps alive for the stream's whole life.
// Writes replace bytes at the position and extend the string where they run past its end (a
// gap left by a position beyond the end is filled with NUL bytes). Reading at or beyond the end
// sets EndOfStream. Flush does nothing; Close only sets the direction to Closed.
class StringStream : public StreamBase {
 public:
  // ReadWrite, position 0.
  StringStream(std::string& target, CodecPtr codec);

  StreamPtr Clone() override;
  // The position is not limited to the string's length; false only for an unknown origin or a
  // position before the start.
  bool SetPosition(int64_t offset, int origin) override;
  uint64_t GetPosition() override;
  size_t ReadBytes(size_t size, void* buffer) override;
  size_t WriteBytes(size_t size, const void* buffer) override;
  bool Flush() override;
  bool Close() override;

 private:
  std::string& target_;
  size_t position_ = 0;
};

}  // namespace imp
}  // namespace zu

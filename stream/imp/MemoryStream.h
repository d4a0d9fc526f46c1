#pragma once

#include <vector>

#include "stream/imp/StreamBase.h"

namespace zu {
namespace imp {

// A stream over a byte vector that the caller owns and keeps alive for the stream's whole
// life. A read copies only when all the requested bytes are there; otherwise it returns 0 and
// leaves the status as it is (a memory stream never sets EndOfStream, so readers must check
// what each read returns). Writes enlarge the vector as needed, new bytes being 0.
class MemoryStream : public StreamBase {
 public:
  // ReadWrite, position 0.
  MemoryStream(std::vector<unsigned char>& target, CodecPtr codec);

  StreamPtr Clone() override;
  // As for the string stream: not limited to the vector's size.
  bool SetPosition(int64_t offset, int origin) override;
  uint64_t GetPosition() override;
  size_t ReadBytes(size_t size, void* buffer) override;
  size_t WriteBytes(size_t size, const void* buffer) override;
  bool Flush() override;
  bool Close() override;

 private:
  std::vector<unsigned char>& target_;
  size_t position_ = 0;
};

}  // namespace imp
}  // namespace zu

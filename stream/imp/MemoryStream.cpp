#include "stream/imp/MemoryStream.h"

#include <cstring>
#include <memory>
#include <stdexcept>

#include "stream/imp/Position.h"

namespace zu {
namespace imp {

MemoryStream::MemoryStream(std::vector<unsigned char>& target, CodecPtr codec)
    : StreamBase(std::move(codec)), target_(target) {
  SetDirection(ReadWrite);
}

StreamPtr MemoryStream::Clone() {
  return std::make_shared<MemoryStream>(target_, CloneCodec());
}

bool MemoryStream::SetPosition(int64_t offset, int origin) {
  return MovePosition(position_, target_.size(), offset, origin);
}

uint64_t MemoryStream::GetPosition() {
  return position_;
}

size_t MemoryStream::ReadBytes(size_t size, void* buffer) {
  if (!CanRead() || size == 0)
    return 0;
  if (position_ > target_.size() || target_.size() - position_ < size)
    return 0;
  std::memcpy(buffer, target_.data() + position_, size);
  position_ += size;
  return size;
}

size_t MemoryStream::WriteBytes(size_t size, const void* buffer) {
  if (!CanWrite() || size == 0)
    return 0;
  // A position far beyond the end (or a huge write) must fail, not throw.
  try {
    if (position_ + size < position_)
      throw std::length_error("position overflow");
    if (target_.size() < position_ + size)
      target_.resize(position_ + size, 0);
  } catch (const std::exception&) {
    SetStatus(WriteError, 0);
    return 0;
  }
  std::memcpy(target_.data() + position_, buffer, size);
  position_ += size;
  return size;
}

bool MemoryStream::Flush() {
  return CanWrite();
}

bool MemoryStream::Close() {
  SetDirection(Closed);
  return true;
}

}  // namespace imp
}  // namespace zu

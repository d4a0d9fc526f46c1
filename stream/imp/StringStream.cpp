#include "stream/imp/StringStream.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>

#include "stream/imp/Position.h"

namespace zu {
namespace imp {

StringStream::StringStream(std::string& target, CodecPtr codec)
    : StreamBase(std::move(codec)), target_(target) {
  SetDirection(ReadWrite);
}

StreamPtr StringStream::Clone() {
  return std::make_shared<StringStream>(target_, CloneCodec());
}

bool StringStream::SetPosition(int64_t offset, int origin) {
  return MovePosition(position_, target_.size(), offset, origin);
}

uint64_t StringStream::GetPosition() {
  return position_;
}

size_t StringStream::ReadBytes(size_t size, void* buffer) {
  if (!CanRead() || size == 0)
    return 0;
  // A position beyond the end counts as the end too, so that a loop reading while IsGood()
  // always ends.
  if (position_ >= target_.size()) {
    SetStatus(EndOfStream, 0);
    return 0;
  }
  size_t count = std::min(size, target_.size() - position_);
  std::memcpy(buffer, target_.data() + position_, count);
  position_ += count;
  return count;
}

size_t StringStream::WriteBytes(size_t size, const void* buffer) {
  if (!CanWrite() || size == 0)
    return 0;
  // A position far beyond the end (or a huge write) must fail, not throw.
  try {
    if (position_ + size < position_)
      throw std::length_error("position overflow");
    if (target_.size() < position_ + size)
      target_.resize(position_ + size, '\0');
  } catch (const std::exception&) {
    SetStatus(WriteError, 0);
    return 0;
  }
  target_.replace(position_, size, static_cast<const char*>(buffer), size);
  position_ += size;
  return size;
}

bool StringStream::Flush() {
  return CanWrite();
}

bool StringStream::Close() {
  SetDirection(Closed);
  return true;
}

}  // namespace imp
}  // namespace zu

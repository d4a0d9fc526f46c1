#include "multi_threading/Time.h"
#include "stream/Stream.h"

namespace zu {

SharedPtr<Stream> operator<<(SharedPtr<Stream> stream, const Time& time) {
  if (!stream)
    return stream;
  stream->Write(static_cast<unsigned long>(time.GetSeconds()));
  stream->WriteSeparator();
  stream->Write(static_cast<unsigned long>(time.GetNanoSeconds()));
  return stream;
}

SharedPtr<Stream> operator>>(SharedPtr<Stream> stream, Time& time) {
  if (!stream)
    return stream;
  unsigned long seconds = 0;
  unsigned long nanoseconds = 0;
  // Both values or nothing: a time cut short leaves the target as it was.
  if (stream->Read(seconds) == 0 || stream->Read(nanoseconds) == 0)
    return stream;
  time = Time(seconds, nanoseconds);
  return stream;
}

}  // namespace zu

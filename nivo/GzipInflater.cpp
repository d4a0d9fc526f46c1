#include "nivo/GzipInflater.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdint>

namespace zu {
namespace nivo {

namespace {

// The most deflate can make of one input byte: a stated size beyond this many times the
// input is not believed.
const size_t kMaxRatio = 1032;

// The size the last member's trailer states for its data (modulo 2^32), or 0 when the input
// is too short to carry one or the statement cannot be true.
size_t StatedSize(const std::string& in) {
  if (in.size() < 18 || in.size() >= SIZE_MAX / kMaxRatio)
    return 0;
  const unsigned char* tail = reinterpret_cast<const unsigned char*>(in.data()) + in.size() - 4;
  const size_t stated = static_cast<size_t>(tail[0]) | static_cast<size_t>(tail[1]) << 8 |
                        static_cast<size_t>(tail[2]) << 16 | static_cast<size_t>(tail[3]) << 24;
  return stated <= in.size() * kMaxRatio ? stated : 0;
}

}  // namespace

GzipInflater::GzipInflater() = default;

GzipInflater::~GzipInflater() {
  if (ready_)
    inflateEnd(stream_.get());
}

GzipInflater::Result GzipInflater::Inflate(const std::string& in, size_t limit, std::string& out) {
  out.clear();
  if (!ready_) {
    if (!stream_)
      stream_.reset(new z_stream());
    *stream_ = z_stream();
    // Window bits 15 + 16: the gzip wrapper only, a 32 KiB window.
    if (inflateInit2(stream_.get(), 15 + 16) != Z_OK)
      return Result::Failed;
    ready_ = true;
  } else if (inflateReset(stream_.get()) != Z_OK) {
    return Result::Failed;
  }
  z_stream& stream = *stream_;

  const size_t ceiling = limit < SIZE_MAX ? limit + 1 : limit;
  // The trailer's word is taken as the first guess, so a response inflates without regrowing
  // and copying its output; when it is wrong the output still grows by doubling.
  size_t capacity = StatedSize(in);
  if (capacity == 0)
    capacity = in.size() < SIZE_MAX / 8 ? in.size() * 4 : SIZE_MAX / 2;
  capacity = std::min(std::max<size_t>(capacity, 4096), ceiling);
  out.resize(capacity);

  const unsigned char* next = reinterpret_cast<const unsigned char*>(in.data());
  size_t inLeft = in.size();
  size_t produced = 0;
  for (;;) {
    if (produced == out.size()) {
      if (out.size() >= ceiling)
        return Result::TooLarge;
      out.resize(std::min(out.size() * 2, ceiling));
    }
    const uInt givenIn = static_cast<uInt>(std::min<size_t>(inLeft, UINT_MAX));
    const uInt givenOut = static_cast<uInt>(std::min<size_t>(out.size() - produced, UINT_MAX));
    stream.next_in = const_cast<Bytef*>(next);
    stream.avail_in = givenIn;
    stream.next_out = reinterpret_cast<Bytef*>(&out[produced]);
    stream.avail_out = givenOut;
    const int result = inflate(&stream, Z_NO_FLUSH);
    const size_t usedIn = givenIn - stream.avail_in;
    const size_t usedOut = givenOut - stream.avail_out;
    next += usedIn;
    inLeft -= usedIn;
    produced += usedOut;
    if (result == Z_STREAM_END) {
      // Concatenated members make one payload; anything else after the end is ignored.
      if (inLeft >= 2 && next[0] == 0x1f && next[1] == 0x8b && inflateReset(&stream) == Z_OK)
        continue;
      break;
    }
    if (result != Z_OK && result != Z_BUF_ERROR)
      return Result::Failed;
    // No progress with room left for output: the input ended inside the stream.
    if (usedIn == 0 && usedOut == 0 && produced < out.size())
      return Result::Failed;
  }
  if (produced > limit)
    return Result::TooLarge;
  out.resize(produced);
  return Result::Ok;
}

}  // namespace nivo
}  // namespace zu

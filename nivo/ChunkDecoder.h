#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zu {
namespace nivo {

// Takes the chunked transfer coding off a response body, as many bytes at a time as there
// are: every split of the bytes gives the same result, and every length is checked before it
// is used. Each chunk is a size line (hexadecimal, an optional ";" extension, CR LF), its
// data and CR LF; the chunk of size 0 ends the body, and the trailer lines after it end with
// an empty line. No lock; one body at a time.
class ChunkDecoder {
 public:
  enum class Status {
    // Every byte given was taken; the body goes on.
    NeedMore,
    // The last chunk is in.
    Complete,
    // Not chunked coding: a size line that is not a number of at most 32 bits, that is too
    // long or does not end in CR LF, or chunk data not followed by CR LF.
    Broken,
    // A chunk would make the output longer than the limit given.
    TooLarge,
  };

  // Ready for a new body.
  void Reset();

  // Decodes the size bytes at data, appending the chunk data to out, which may hold at most
  // limit bytes. consumed: how many of the bytes belong to the body; less than size only
  // once Complete (what follows the body) or on failure. After Complete, further bytes go to
  // the trailer as far as it goes (see IsTrailerComplete); the status stays Complete.
  Status Decode(const char* data, size_t size, size_t& consumed, std::string& out, size_t limit);

  // Whether the empty line that ends the trailer has been taken: only then is it known where
  // the body ends on the connection. Never after a trailer line too long to be sound; all
  // bytes given after it are taken.
  bool IsTrailerComplete() const { return state_ == State::Done; }

 private:
  enum class State { SizeLine, Data, DataCR, DataLF, Trailer, Done, TrailerIgnored, Failed };

  // Takes the bytes of one line from data + pos into line_, moving pos past them; true with
  // the line complete (its LF taken, not stored). False also when the line grows too long
  // (then pos stays where it was).
  bool TakeLine(const char* data, size_t size, size_t& pos, bool& tooLong);

  State state_ = State::SizeLine;
  Status failure_ = Status::Broken;
  // Bytes of the current chunk's data still to come.
  uint64_t remaining_ = 0;
  // The line received so far (size line or trailer line), without its LF.
  std::string line_;
};

}  // namespace nivo
}  // namespace zu

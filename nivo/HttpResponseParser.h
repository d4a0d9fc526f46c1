#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "nivo/ChunkDecoder.h"
#include "nivo/GzipInflater.h"
#include "nivo/HttpFrame.h"

namespace zu {
namespace nivo {

// One HTTP/1.1 response at a time, from the bytes of its connection as they arrive: the
// header, then the payload, cut by chunked coding, "Content-Length" or the close of the
// connection, and inflated when its "Content-Encoding" is gzip. Header names and the values
// "chunked", "gzip" and "close" are matched without regard to case. Only the status line
// "HTTP/1.1 200 OK" is accepted. Any split of the bytes gives the same result, and no
// response grows beyond the size limit, buffered or inflated.
//
// No lock, no socket and no logging: a failure is a Failure, whose text the caller logs. The
// payload bytes of a call go straight from the caller's bytes into the payload, and the areas
// of earlier responses are reused, so keep one parser per connection and Reset it between
// responses.
class HttpResponseParser {
 public:
  // Bytes a response may buffer, and its payload may inflate to, unless given otherwise.
  static constexpr size_t kDefaultSizeLimit = 256u * 1024u * 1024u;

  enum class Status {
    // Every byte given was taken; more are needed.
    NeedMore,
    // The step is done: the header is in and accepted (ParseHeader), or the payload is
    // complete and in the frame (ExtractPayload).
    Complete,
    // The response cannot be used (see GetFailure); nothing more is taken.
    Failed,
  };
  enum class Failure {
    None,
    // The status line is not "HTTP/1.1 200 OK".
    Refused,
    // Header, payload or inflated payload beyond the size limit.
    TooLarge,
    BrokenChunks,
    BadGzip,
  };

  explicit HttpResponseParser(size_t sizeLimit = kDefaultSizeLimit);

  // Ready for the next response; the frame is cleared.
  void Reset();

  // Takes the size bytes at data up to the end of the header (its empty line); consumed says
  // how many that is. Complete once the header is in and accepted, and from then on; the
  // frame then holds its lines. Failed when it is refused (the frame holds its lines) or
  // longer than the limit.
  Status ParseHeader(const char* data, size_t size, size_t& consumed);
  // Takes the size bytes at data into the payload as far as it goes; consumed says how many
  // belong to it (the rest follows the response). connectionClosed: no more bytes will come,
  // which ends a payload delimited by the close. Complete once the payload is in the frame,
  // inflated, and from then on; NeedMore also before the header is in.
  Status ExtractPayload(const char* data, size_t size, size_t& consumed, bool connectionClosed);

  Failure GetFailure() const { return failure_; }
  // What the reader logs, followed by the URL, for failure; empty for None and Refused.
  static const char* FailureText(Failure failure);

  // Whether the connection can carry another response after this one: it is complete, it
  // is HTTP/1.1 without "Connection: close", its end was known from its framing (length or
  // chunks, trailer included, with no doubt about the length), and no byte followed it.
  bool CanCarryAnother() const;

  // The header lines once parsed (names as received; of names equal but for case the first
  // is kept), and the payload once complete.
  const HttpFrame& GetFrame() const { return frame_; }
  // The frame, moved out; the parser keeps an empty one.
  HttpFrame TakeFrame();

 private:
  enum class Framing { Close, Length, Chunked };

  // Parses the header block (the buffered bytes before its last LF) into the frame and
  // settles framing, encoding and persistence. True when the status line is accepted.
  bool ReadHeader(size_t blockSize);
  // The payload collected is complete: inflates it if need be and stores it in the frame.
  Status Finish();
  Status Fail(Failure failure);
  // Empties the payload; the area of a chunked one is kept for the next (up to a bound).
  void ReleasePayload();

  const size_t sizeLimit_;

  // The header received so far.
  std::string header_;
  HttpFrame frame_;
  bool headerParsed_ = false;
  bool complete_ = false;
  Failure failure_ = Failure::None;

  Framing framing_ = Framing::Close;
  bool gzip_ = false;
  // The header allows another response on the connection (see CanCarryAnother).
  bool persistent_ = false;
  // Bytes were given after the end of the response.
  bool extra_ = false;
  // Payload bytes still to come (Length).
  uint64_t remaining_ = 0;

  ChunkDecoder chunks_;
  GzipInflater inflater_;
  // The payload collected so far, before inflation.
  std::string payload_;
  // The capacity of earlier chunked payloads, empty while a chunked payload is collected.
  std::string chunkArea_;
};

}  // namespace nivo
}  // namespace zu

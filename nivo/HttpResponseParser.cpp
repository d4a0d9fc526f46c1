#include "nivo/HttpResponseParser.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "base/String.h"

namespace zu {
namespace nivo {

namespace {

const std::string_view kHeaderEnd("\r\n\r\n", 4);
// Never reserved ahead for a "Content-Length" claim, however large.
const size_t kMaxReserve = 16u * 1024u * 1024u;
// A header area larger than this is released instead of being kept for the next response.
const size_t kKeepHeaderArea = 1024u * 1024u;
// The same for the decoding area of chunked payloads.
const size_t kKeepChunkArea = 4u * 1024u * 1024u;

// A "Content-Length" value that leaves no doubt: decimal digits only, within 32 bits.
bool IsPlainLength(const std::string& value) {
  if (value.empty() || value.size() > 10)
    return false;
  uint64_t number = 0;
  for (char c : value) {
    if (c < '0' || c > '9')
      return false;
    number = number * 10 + static_cast<unsigned>(c - '0');
  }
  return number <= 0xFFFFFFFFull;
}

}  // namespace

HttpResponseParser::HttpResponseParser(size_t sizeLimit) : sizeLimit_(sizeLimit) {}

void HttpResponseParser::Reset() {
  if (header_.capacity() > kKeepHeaderArea)
    std::string().swap(header_);
  else
    header_.clear();
  frame_.Clear();
  ReleasePayload();
  chunks_.Reset();
  headerParsed_ = false;
  complete_ = false;
  failure_ = Failure::None;
  framing_ = Framing::Close;
  gzip_ = false;
  persistent_ = false;
  extra_ = false;
  remaining_ = 0;
}

const char* HttpResponseParser::FailureText(Failure failure) {
  switch (failure) {
    case Failure::TooLarge:
      return "Response exceeds the size limit: ";
    case Failure::BrokenChunks:
      return "Broken chunked coding in the response of ";
    case Failure::BadGzip:
      return "Failed uncompressing data: ";
    case Failure::None:
    case Failure::Refused:
      break;
  }
  return "";
}

HttpResponseParser::Status HttpResponseParser::Fail(Failure failure) {
  failure_ = failure;
  ReleasePayload();
  return Status::Failed;
}

HttpResponseParser::Status HttpResponseParser::ParseHeader(const char* data, size_t size,
                                                           size_t& consumed) {
  consumed = 0;
  if (failure_ != Failure::None)
    return Status::Failed;
  if (headerParsed_)
    return Status::Complete;

  // Where the empty line starts in the buffered bytes followed by these. It may straddle
  // the two: the last three buffered bytes are looked at again with the first new ones.
  const size_t buffered = header_.size();
  size_t end = std::string::npos;
  const size_t tail = std::min<size_t>(buffered, 3);
  if (tail > 0 && size > 0) {
    char joint[6];
    const size_t head = std::min<size_t>(size, 3);
    std::memcpy(joint, header_.data() + buffered - tail, tail);
    std::memcpy(joint + tail, data, head);
    const size_t at = std::string_view(joint, tail + head).find(kHeaderEnd);
    if (at != std::string_view::npos && at < tail)
      end = buffered - tail + at;
  }
  if (end == std::string::npos && size > 0) {
    const size_t at = std::string_view(data, size).find(kHeaderEnd);
    if (at != std::string_view::npos)
      end = buffered + at;
  }

  if (end == std::string::npos) {
    if (size > sizeLimit_ - std::min(sizeLimit_, buffered))
      return Fail(Failure::TooLarge);
    header_.append(data, size);
    consumed = size;
    return Status::NeedMore;
  }
  // Also when the whole header came in one call: without its end the limit applies to what
  // is buffered, so a header over it must fail however the bytes were split.
  if (end + kHeaderEnd.size() > sizeLimit_)
    return Fail(Failure::TooLarge);
  consumed = end + kHeaderEnd.size() - buffered;
  header_.append(data, consumed);
  // The block ends with "\r\n\r", as the lines are cut at every CR and LF alike.
  headerParsed_ = true;
  if (!ReadHeader(end + kHeaderEnd.size() - 1))
    return Fail(Failure::Refused);
  if (framing_ == Framing::Length && remaining_ > sizeLimit_)
    return Fail(Failure::TooLarge);
  return Status::Complete;
}

bool HttpResponseParser::ReadHeader(size_t blockSize) {
  std::vector<std::string> lines;
  zu::string::Split(header_.substr(0, blockSize), "\r\n", lines);

  HeaderMap headers;
  // A second "Content-Length" or "Transfer-Encoding" leaves doubt where the response ends.
  bool doubtfulFraming = false;
  for (const std::string& line : lines) {
    std::string name = line;
    std::string value;
    const size_t colon = line.find(':');
    if (colon != std::string::npos) {
      name = line.substr(0, colon);
      value = line.substr(colon + 1);
    }
    name = zu::string::TrimmSpaces(name);
    if (name.empty())
      continue;
    if (FindHeader(headers, name) != nullptr) {
      // The first occurrence of a name wins, whatever the case of either.
      doubtfulFraming = doubtfulFraming || EqualsIgnoringCase(name, "Content-Length") ||
                        EqualsIgnoringCase(name, "Transfer-Encoding");
      continue;
    }
    headers.emplace(name, zu::string::TrimmSpaces(value));
  }
  // The status line is the first line; a later line of the same text does not count.
  const bool accepted =
      !lines.empty() && zu::string::TrimmSpaces(lines.front()) == "HTTP/1.1 200 OK";
  frame_.headers = std::move(headers);
  frame_.body.clear();

  const std::string* transfer = FindHeader(frame_.headers, "Transfer-Encoding");
  const std::string* length = FindHeader(frame_.headers, "Content-Length");
  const std::string* encoding = FindHeader(frame_.headers, "Content-Encoding");
  const std::string* connection = FindHeader(frame_.headers, "Connection");
  gzip_ = encoding != nullptr &&
          (EqualsIgnoringCase(*encoding, "gzip") || EqualsIgnoringCase(*encoding, "x-gzip"));
  if (transfer != nullptr && HasListElement(*transfer, "chunked", true)) {
    framing_ = Framing::Chunked;
    chunks_.Reset();
    // The size of a chunked payload is known only at its end: it is collected in the area
    // kept from earlier chunked responses instead of a string that regrows every time.
    payload_.swap(chunkArea_);
    payload_.clear();
  } else if (length != nullptr) {
    framing_ = Framing::Length;
    remaining_ = zu::string::ToUint32(*length);
    if (accepted && remaining_ <= sizeLimit_)
      payload_.reserve(static_cast<size_t>(std::min<uint64_t>(remaining_, kMaxReserve)));
  } else {
    framing_ = Framing::Close;
  }
  persistent_ = accepted && framing_ != Framing::Close && !doubtfulFraming &&
                !(transfer != nullptr && length != nullptr) &&
                (framing_ != Framing::Length || IsPlainLength(*length)) &&
                !(connection != nullptr && HasListElement(*connection, "close"));
  return accepted;
}

HttpResponseParser::Status HttpResponseParser::ExtractPayload(const char* data, size_t size,
                                                              size_t& consumed,
                                                              bool connectionClosed) {
  consumed = 0;
  if (failure_ != Failure::None)
    return Status::Failed;
  if (!headerParsed_)
    return Status::NeedMore;
  if (complete_) {
    // What is left of a trailer; nothing else belongs to the response any more.
    if (framing_ == Framing::Chunked)
      chunks_.Decode(data, size, consumed, payload_, 0);
    extra_ = extra_ || consumed < size;
    return Status::Complete;
  }

  switch (framing_) {
    case Framing::Length: {
      const size_t take = static_cast<size_t>(std::min<uint64_t>(remaining_, size));
      payload_.append(data, take);
      consumed = take;
      remaining_ -= take;
      if (remaining_ > 0)
        return Status::NeedMore;
      break;
    }
    case Framing::Chunked:
      switch (chunks_.Decode(data, size, consumed, payload_, sizeLimit_)) {
        case ChunkDecoder::Status::NeedMore:
          return Status::NeedMore;
        case ChunkDecoder::Status::Broken:
          return Fail(Failure::BrokenChunks);
        case ChunkDecoder::Status::TooLarge:
          return Fail(Failure::TooLarge);
        case ChunkDecoder::Status::Complete:
          break;
      }
      break;
    case Framing::Close:
      if (size > sizeLimit_ - std::min(sizeLimit_, payload_.size()))
        return Fail(Failure::TooLarge);
      payload_.append(data, size);
      consumed = size;
      if (!connectionClosed)
        return Status::NeedMore;
      break;
  }
  extra_ = consumed < size;
  return Finish();
}

HttpResponseParser::Status HttpResponseParser::Finish() {
  if (gzip_ && !payload_.empty()) {
    std::string inflated;
    switch (inflater_.Inflate(payload_, sizeLimit_, inflated)) {
      case GzipInflater::Result::Ok:
        ReleasePayload();
        frame_.body = std::move(inflated);
        complete_ = true;
        return Status::Complete;
      case GzipInflater::Result::Failed:
        return Fail(Failure::BadGzip);
      case GzipInflater::Result::TooLarge:
        return Fail(Failure::TooLarge);
    }
  }
  if (framing_ == Framing::Chunked) {
    // The caller gets a string of the payload's size; the area stays for the next response.
    frame_.body.assign(payload_);
    ReleasePayload();
  } else {
    frame_.body = std::move(payload_);
    payload_.clear();
  }
  complete_ = true;
  return Status::Complete;
}

void HttpResponseParser::ReleasePayload() {
  if (framing_ == Framing::Chunked && payload_.capacity() <= kKeepChunkArea &&
      payload_.capacity() > chunkArea_.capacity()) {
    payload_.clear();
    chunkArea_.swap(payload_);
  }
  std::string().swap(payload_);
}

bool HttpResponseParser::CanCarryAnother() const {
  return complete_ && failure_ == Failure::None && persistent_ && !extra_ &&
         (framing_ != Framing::Chunked || chunks_.IsTrailerComplete());
}

HttpFrame HttpResponseParser::TakeFrame() {
  HttpFrame frame = std::move(frame_);
  frame_.Clear();
  return frame;
}

}  // namespace nivo
}  // namespace zu

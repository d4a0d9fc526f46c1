#include "nivo/ChunkDecoder.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace zu {
namespace nivo {

namespace {

// A size line (size, extension) or trailer line longer than this is not from a sound peer.
const size_t kMaxLine = 4096;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// The chunk size at the start of a size line: optional blanks, hexadecimal digits, then
// only blanks or a ";" extension. False when there are no digits, the value exceeds 32 bits,
// or anything else follows the digits (a "0x" prefix, for one, would otherwise read as the
// last chunk).
bool ParseChunkSize(const std::string& line, size_t length, uint64_t& size) {
  size_t i = 0;
  while (i < length && IsBlank(line[i]))
    ++i;
  uint64_t value = 0;
  size_t digits = 0;
  for (; i < length && std::isxdigit(static_cast<unsigned char>(line[i])); ++i, ++digits) {
    const char c = line[i];
    const unsigned int digit = c <= '9' ? c - '0' : (std::tolower(c) - 'a' + 10);
    value = value * 16 + digit;
    if (value > 0xFFFFFFFFull)
      return false;
  }
  if (digits == 0)
    return false;
  while (i < length && IsBlank(line[i]))
    ++i;
  if (i < length && line[i] != ';')
    return false;
  size = value;
  return true;
}

}  // namespace

void ChunkDecoder::Reset() {
  state_ = State::SizeLine;
  failure_ = Status::Broken;
  remaining_ = 0;
  line_.clear();
}

bool ChunkDecoder::TakeLine(const char* data, size_t size, size_t& pos, bool& tooLong) {
  const void* found = std::memchr(data + pos, '\n', size - pos);
  const size_t stop = found == nullptr ? size : static_cast<const char*>(found) - data;
  tooLong = line_.size() + (stop - pos) > kMaxLine;
  if (tooLong)
    return false;
  line_.append(data + pos, stop - pos);
  pos = found == nullptr ? size : stop + 1;
  return found != nullptr;
}

ChunkDecoder::Status ChunkDecoder::Decode(const char* data, size_t size, size_t& consumed,
                                          std::string& out, size_t limit) {
  size_t pos = 0;
  bool tooLong = false;
  while (pos < size && state_ != State::Done && state_ != State::Failed) {
    switch (state_) {
      case State::SizeLine: {
        if (!TakeLine(data, size, pos, tooLong)) {
          if (tooLong)
            state_ = State::Failed;
          break;
        }
        uint64_t chunkSize = 0;
        if (line_.empty() || line_.back() != '\r' ||
            !ParseChunkSize(line_, line_.size() - 1, chunkSize)) {
          state_ = State::Failed;
          break;
        }
        line_.clear();
        if (chunkSize == 0) {
          state_ = State::Trailer;
        } else if (chunkSize > limit - std::min(limit, out.size())) {
          failure_ = Status::TooLarge;
          state_ = State::Failed;
        } else {
          remaining_ = chunkSize;
          state_ = State::Data;
        }
        break;
      }
      case State::Data: {
        const size_t take = static_cast<size_t>(std::min<uint64_t>(remaining_, size - pos));
        out.append(data + pos, take);
        pos += take;
        remaining_ -= take;
        if (remaining_ == 0)
          state_ = State::DataCR;
        break;
      }
      case State::DataCR:
      case State::DataLF: {
        const bool cr = state_ == State::DataCR;
        if (data[pos] != (cr ? '\r' : '\n')) {
          state_ = State::Failed;
          break;
        }
        ++pos;
        state_ = cr ? State::DataLF : State::SizeLine;
        break;
      }
      case State::Trailer:
        // Trailer fields are not used; only their end matters.
        if (!TakeLine(data, size, pos, tooLong)) {
          if (tooLong)
            state_ = State::TrailerIgnored;
          break;
        }
        if (line_.empty() || line_ == "\r")
          state_ = State::Done;
        line_.clear();
        break;
      case State::TrailerIgnored:
        // Its end cannot be told any more: whatever comes is taken as the trailer's, the
        // same however the bytes are split.
        pos = size;
        break;
      case State::Done:
      case State::Failed:
        break;
    }
  }
  consumed = pos;
  switch (state_) {
    case State::Failed:
      return failure_;
    case State::Trailer:
    case State::Done:
    case State::TrailerIgnored:
      return Status::Complete;
    default:
      return Status::NeedMore;
  }
}

}  // namespace nivo
}  // namespace zu

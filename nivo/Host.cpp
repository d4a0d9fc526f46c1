#include "nivo/Host.h"

#include <algorithm>

namespace zu {
namespace nivo {

namespace {

// Reads go in pieces of at most this size.
const size_t kReadChunkSize = 65536;
// At most this much is reserved ahead for a file by its length.
const uint64_t kReadReserveLimit = 16u * 1024u * 1024u;

}  // namespace

WholeFileRead ReadWholeFile(int64_t length, const std::function<ssize_t(char*, size_t)>& read,
                            std::string& data) {
  data.clear();
  // Small cache files are read often: a file of known length goes in pieces no larger than
  // the file, into a text reserved for it.
  size_t piece = kReadChunkSize;
  if (length >= 0) {
    piece = static_cast<size_t>(
        std::max<uint64_t>(1, std::min<uint64_t>(piece, static_cast<uint64_t>(length))));
    data.reserve(
        static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(length), kReadReserveLimit)));
  }
  std::string chunk(piece, '\0');
  while (length < 0 || static_cast<uint64_t>(data.size()) < static_cast<uint64_t>(length)) {
    size_t wanted = chunk.size();
    if (length >= 0)
      wanted = static_cast<size_t>(
          std::min<uint64_t>(wanted, static_cast<uint64_t>(length) - data.size()));
    const ssize_t got = read(&chunk[0], wanted);
    if (got < 0)
      return WholeFileRead::Failed;
    if (got == 0)
      break;
    data.append(chunk.data(), static_cast<size_t>(got));
  }
  if (length >= 0 && static_cast<uint64_t>(data.size()) != static_cast<uint64_t>(length))
    return WholeFileRead::CutShort;
  return WholeFileRead::Done;
}

}  // namespace nivo
}  // namespace zu

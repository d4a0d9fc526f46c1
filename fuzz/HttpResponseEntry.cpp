// The page reader's response handling without a socket: the bytes go in through
// AppendReceived in reads of arbitrary sizes, and after every read the header and payload are
// taken as far as they go, as the socket handler does.

#include <string>
#include <vector>

#include "base/SharedPtr.h"
#include "fuzz/FuzzEntries.h"
#include "fuzz/FuzzSupport.h"
#include "nivo/HttpPageReader.h"

namespace zu {
namespace fuzz {

namespace {

const char kTarget[] = "http_response";

// The size limits an input may choose; the default one is never reached by an input.
const size_t kLimits[] = {nivo::HttpPageReader::kDefaultSizeLimit, 64, 1024, 65536};

struct Outcome {
  bool complete = false;
  nivo::HttpFrame frame;
};

// One reader for the whole run, without a socket server: the steps used here need none.
nivo::HttpPageReader& Reader() {
  static const SharedPtr<nivo::HttpPageReader> reader = [] {
    SharedPtr<nivo::HttpPageReader> created = nivo::HttpPageReader::Create();
    created->StopServer();
    return created;
  }();
  return *reader;
}

// Feeds the response in reads of the given sizes (the last one takes the rest) and, when the
// peer closes, gives the reader its last chance as the handler does.
Outcome Receive(const std::string& response, const std::vector<size_t>& reads, bool closes,
                size_t limit) {
  nivo::HttpPageReader& reader = Reader();
  reader.Reset();
  reader.SetSizeLimit(limit);
  Outcome outcome;
  size_t offset = 0;
  size_t index = 0;
  while (offset < response.size()) {
    const size_t want = index < reads.size() ? reads[index++] : response.size() - offset;
    const size_t take = std::min(want, response.size() - offset);
    reader.AppendReceived(response.data() + offset, take);
    offset += take;
    if (reader.ParseHeader() && reader.ExtractPayload(false)) {
      outcome.complete = true;
      break;
    }
  }
  if (!outcome.complete && closes)
    outcome.complete = reader.ParseHeader() && reader.ExtractPayload(true);
  if (outcome.complete) {
    // A complete response stays complete, whatever is asked again.
    Check(reader.ParseHeader() && reader.ExtractPayload(closes), kTarget,
          "a complete response was no longer complete when asked again");
  }
  outcome.frame = reader.GetFrame();
  reader.Reset();
  return outcome;
}

std::string Describe(const Outcome& outcome) {
  std::string text = outcome.complete ? "complete, " : "incomplete, ";
  text += std::to_string(outcome.frame.headers.size()) + " headers, body of " +
          std::to_string(outcome.frame.body.size()) + " bytes";
  return text;
}

}  // namespace

void FuzzHttpResponse(const std::uint8_t* data, std::size_t size) {
  QuietOutput();
  if (size < 3)
    return;
  const bool closes = (data[0] & 1) != 0;
  const size_t limit = kLimits[(data[0] >> 1) & 3];
  Choices choices(static_cast<std::uint32_t>(data[1]) << 8 | data[2]);
  const std::string response(reinterpret_cast<const char*>(data + 3), size - 3);

  // Reads of 1 byte up to a few hundred, as a slow or busy peer delivers them.
  const size_t largest = 1 + choices.Next() % 512;
  std::vector<size_t> reads;
  for (size_t covered = 0; covered < response.size();) {
    reads.push_back(choices.Between1And(largest));
    covered += reads.back();
  }

  const Outcome whole = Receive(response, std::vector<size_t>(), closes, limit);
  const Outcome split = Receive(response, reads, closes, limit);
  Check(whole.complete == split.complete, kTarget,
        "one read gave " + Describe(whole) + ", reads of at most " + std::to_string(largest) +
            " bytes gave " + Describe(split));
  if (!whole.complete)
    return;
  Check(whole.frame.headers == split.frame.headers, kTarget,
        "the headers depend on how the response was split into reads");
  Check(whole.frame.body == split.frame.body, kTarget,
        "the body depends on how the response was split into reads: " + Describe(whole) +
            " against " + Describe(split));
  Check(whole.frame.body.size() <= limit, kTarget,
        "a body of " + std::to_string(whole.frame.body.size()) + " bytes passed the limit of " +
            std::to_string(limit));
  Check(whole.frame.headers.count("HTTP/1.1 200 OK") == 1, kTarget,
        "a response without the status line \"HTTP/1.1 200 OK\" was accepted");
}

}  // namespace fuzz
}  // namespace zu

// The response parser on its own: the bytes go in as reads of arbitrary sizes, and after
// every read the header and payload steps take what they can, as the page reader does.

#include <string>
#include <vector>

#include "fuzz/FuzzEntries.h"
#include "fuzz/FuzzSupport.h"
#include "nivo/HttpResponseParser.h"

namespace zu {
namespace fuzz {

namespace {

const char kTarget[] = "http_response";

using Status = nivo::HttpResponseParser::Status;

// The size limits an input may choose; the default one is never reached by an input.
const size_t kLimits[] = {nivo::HttpResponseParser::kDefaultSizeLimit, 64, 1024, 65536};

struct Outcome {
  bool complete = false;
  // Bytes the response took of the input, and whether its connection could carry another.
  size_t taken = 0;
  bool carries = false;
  nivo::HttpFrame frame;
};

// One read through both steps; true once the payload is complete. taken grows by the bytes
// that belong to the response.
bool Take(nivo::HttpResponseParser& parser, const char* data, size_t size, bool closed,
          size_t& taken) {
  size_t header = 0;
  size_t payload = 0;
  const Status headerStatus = parser.ParseHeader(data, size, header);
  Check(header <= size, kTarget, "the header step took more bytes than it was given");
  taken += header;
  if (headerStatus != Status::Complete)
    return false;
  const Status status = parser.ExtractPayload(data + header, size - header, payload, closed);
  Check(payload <= size - header, kTarget, "the payload step took more bytes than it was given");
  taken += payload;
  Check(status != Status::NeedMore || header + payload == size, kTarget,
        "a step that needs more bytes left some of those it was given");
  return status == Status::Complete;
}

// Feeds the response in reads of the given sizes (the last one takes the rest) to a fresh
// parser and, when the peer closes, gives it its last chance as the page reader does.
Outcome Receive(const std::string& response, const std::vector<size_t>& reads, bool closes,
                size_t limit) {
  nivo::HttpResponseParser parser(limit);
  Outcome outcome;
  size_t offset = 0;
  size_t index = 0;
  while (offset < response.size() && !outcome.complete) {
    const size_t want = index < reads.size() ? reads[index++] : response.size() - offset;
    const size_t take = std::min(want, response.size() - offset);
    outcome.complete = Take(parser, response.data() + offset, take, false, outcome.taken);
    offset += take;
  }
  // What follows the payload (a trailer's rest, or bytes after the response) goes to the
  // parser too, as it would on a connection kept for another response.
  if (outcome.complete && offset < response.size())
    Take(parser, response.data() + offset, response.size() - offset, false, outcome.taken);
  if (!outcome.complete && closes)
    outcome.complete = Take(parser, nullptr, 0, true, outcome.taken);
  if (outcome.complete) {
    // A complete response stays complete, whatever is asked again.
    size_t again = 0;
    Check(Take(parser, nullptr, 0, closes, again) && again == 0, kTarget,
          "a complete response was no longer complete when asked again");
  }
  outcome.carries = parser.CanCarryAnother();
  Check(!outcome.carries || outcome.complete, kTarget,
        "an incomplete response left its connection for another");
  outcome.frame = parser.GetFrame();
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
  Check(whole.taken == split.taken && whole.carries == split.carries, kTarget,
        "where the response ends depends on how it was split into reads");
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

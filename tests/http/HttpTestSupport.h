#pragma once

#include <zlib.h>

#include <string>
#include <vector>

#include "nivo/HttpFrame.h"
#include "nivo/HttpResponseParser.h"
#include "tests/support/ScriptedPeer.h"

namespace http_test {

using zu_test::Chunked;

// "HTTP/1.1 200 OK" with a "Content-Length" body.
inline std::string OkResponse(const std::string& body, const std::string& extraHeaders = "") {
  return "HTTP/1.1 200 OK\r\n" + extraHeaders + "Content-Length: " + std::to_string(body.size()) +
         "\r\n\r\n" + body;
}

// gzip data of text (one member), or several members in a row when split into pieces.
inline std::string Gzip(const std::string& text) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    return std::string();
  std::string out(deflateBound(&stream, text.size()) + 64, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return result == Z_STREAM_END ? out : std::string();
}

// What the parser made of the bytes, fed in parts as reads would deliver them.
struct Outcome {
  bool complete = false;
  // Index of the part after which the payload was complete; parts.size() for the close.
  size_t completedAfter = std::string::npos;
  zu::nivo::HttpFrame frame;
};

// The bytes of one read through the header and the payload step, as the page reader gives
// them; true once the payload is complete.
inline bool Take(zu::nivo::HttpResponseParser& parser, const std::string& bytes, bool closed) {
  using Status = zu::nivo::HttpResponseParser::Status;
  size_t header = 0;
  size_t payload = 0;
  return parser.ParseHeader(bytes.data(), bytes.size(), header) == Status::Complete &&
         parser.ExtractPayload(bytes.data() + header, bytes.size() - header, payload, closed) ==
             Status::Complete;
}

inline Outcome Feed(zu::nivo::HttpResponseParser& parser, const std::vector<std::string>& parts,
                    bool closeAtEnd) {
  Outcome outcome;
  for (size_t i = 0; i < parts.size() && !outcome.complete; ++i) {
    if (Take(parser, parts[i], false)) {
      outcome.complete = true;
      outcome.completedAfter = i;
    }
  }
  if (!outcome.complete && closeAtEnd && Take(parser, std::string(), true)) {
    outcome.complete = true;
    outcome.completedAfter = parts.size();
  }
  outcome.frame = parser.GetFrame();
  return outcome;
}

// text cut at the given ascending positions.
inline std::vector<std::string> SplitAt(const std::string& text, const std::vector<size_t>& at) {
  std::vector<std::string> parts;
  size_t from = 0;
  for (size_t position : at) {
    parts.push_back(text.substr(from, position - from));
    from = position;
  }
  parts.push_back(text.substr(from));
  return parts;
}

// text one byte per part.
inline std::vector<std::string> Bytewise(const std::string& text) {
  std::vector<std::string> parts;
  for (char c : text)
    parts.push_back(std::string(1, c));
  return parts;
}

}  // namespace http_test

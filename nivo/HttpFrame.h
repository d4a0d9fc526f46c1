#pragma once

#include <map>
#include <string>

namespace zu {
namespace nivo {

// Header name -> value, ordered by plain byte-wise comparison of the names ("Accept" before
// "Accept-Encoding", upper case before lower case); names are compared exactly.
typedef std::map<std::string, std::string> HeaderMap;

// The result of a request: the response header lines and the decoded payload. The status
// line is a key with an empty value ("HTTP/1.1 200 OK"). An empty frame (no headers, empty
// body) is the failure result; callers test the body for emptiness.
struct HttpFrame {
  HeaderMap headers;
  // The payload after de-chunking and gzip inflation.
  std::string body;

  bool IsEmpty() const { return headers.empty() && body.empty(); }
  void Clear() {
    headers.clear();
    body.clear();
  }
};

}  // namespace nivo
}  // namespace zu

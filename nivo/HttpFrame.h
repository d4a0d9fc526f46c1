#pragma once

#include <map>
#include <string>

namespace zu {
namespace nivo {

// Header name -> value, ordered by plain byte-wise comparison of the names ("Accept" before
// "Accept-Encoding", upper case before lower case). A response's names are kept as they
// came; look them up with FindHeader, which ignores case as HTTP does.
typedef std::map<std::string, std::string> HeaderMap;

// Whether a and b are equal without regard to ASCII case, whatever the locale.
bool EqualsIgnoringCase(const std::string& a, const std::string& b);

// The value of the header whose name equals name without regard to ASCII case (the first
// such one in the map's order), or null.
const std::string* FindHeader(const HeaderMap& headers, const std::string& name);

// Whether the comma-separated list value has an element equal to token without regard to
// ASCII case ("close" in "Keep-Alive, Close"); with last, whether its last element is.
bool HasListElement(const std::string& value, const std::string& token, bool last = false);

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

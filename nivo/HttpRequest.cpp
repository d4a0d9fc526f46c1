#include "nivo/HttpRequest.h"

namespace zu {
namespace nivo {

const char* const kDefaultUserAgent =
    "Mozilla/5.0 (Windows NT 6.3; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/43.0.2357.124 Safari/537.36";

namespace {

bool HasLineBreakingCharacter(const std::string& text) {
  return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

}  // namespace

HeaderMap ComposeRequestHeaders(const HttpUrl& url, const HeaderMap& headers, bool keepAlive) {
  HeaderMap composed;
  composed["User-Agent"] = kDefaultUserAgent;
  composed["Accept-Encoding"] = "gzip";
  if (!keepAlive)
    composed["Connection"] = "close";
  composed["Host"] = url.GetHostAndPort();
  for (const auto& header : headers) {
    if (header.second.empty())
      composed.erase(header.first);
    else
      composed[header.first] = header.second;
  }
  return composed;
}

std::string ComposeRequest(const HttpUrl& url, const HeaderMap& headers, bool keepAlive) {
  std::string request = "GET /" + url.path + " HTTP/1.1\r\n";
  for (const auto& header : ComposeRequestHeaders(url, headers, keepAlive)) {
    request += header.first;
    request += ": ";
    request += header.second;
    request += "\r\n";
  }
  request += "\r\n";
  return request;
}

bool IsSafeRequest(const HttpUrl& url, const HeaderMap& headers) {
  if (HasLineBreakingCharacter(url.host) || HasLineBreakingCharacter(url.path))
    return false;
  for (const auto& header : headers) {
    if (HasLineBreakingCharacter(header.first) || HasLineBreakingCharacter(header.second))
      return false;
  }
  return true;
}

}  // namespace nivo
}  // namespace zu

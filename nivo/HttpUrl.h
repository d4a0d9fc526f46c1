#pragma once

#include <cstdint>
#include <string>

#include "base/String.h"

namespace zu {
namespace nivo {

// Where a request goes: host, path and TCP port. A plain value, copied freely.
class HttpUrl {
 public:
  HttpUrl() = default;
  HttpUrl(const std::string& hostName, const std::string& pathText, uint16_t portNumber = 80)
      : host(hostName), path(pathText), port(portNumber) {}

  // The host alone on port 80, otherwise host ":" port; also the "Host" header value.
  std::string GetHostAndPort() const {
    if (port == 80)
      return host;
    return host + ":" + zu::string::ToString(static_cast<unsigned int>(port));
  }
  // "http://" + host-and-port + "/" + path; used in every log line about the request.
  std::string GetUrl() const { return "http://" + GetHostAndPort() + "/" + path; }

  bool operator==(const HttpUrl& other) const {
    return host == other.host && path == other.path && port == other.port;
  }
  bool operator!=(const HttpUrl& other) const { return !(*this == other); }

  // Host name or dotted IPv4 address, resolved when the request is made.
  std::string host;
  // Everything after the "/" behind the host, query included, without the leading "/". Sent
  // as it is: no percent-encoding is applied.
  std::string path;
  uint16_t port = 80;
};

}  // namespace nivo
}  // namespace zu

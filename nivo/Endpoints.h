#pragma once

#include <string>

namespace zu {
namespace nivo {

// Where the provider's two hosts are reached: host name or dotted address, and TCP port.
struct Endpoint {
  std::string host;
  unsigned short port = 80;
};

// The service host, which is only probed for availability. Compiled in, unless the environment
// variable NIVOTV_SERVICE_HOST holds "host" or "host:port" (port 80 when absent).
Endpoint GetServiceEndpoint();
// The guide gateway host, which serves the station list, the playlists and the guide.
// Compiled in, unless NIVOTV_GUIDE_HOST holds "host" or "host:port".
Endpoint GetGuideEndpoint();

// Reads "host" or "host:port". False, with endpoint unchanged, for an empty host or a port that
// is not a decimal number from 1 to 65535.
bool ParseEndpoint(const std::string& text, Endpoint& endpoint);

}  // namespace nivo
}  // namespace zu

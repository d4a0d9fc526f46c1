#include "nivo/LogoUrl.h"

#include "nivo/Endpoints.h"

namespace zu {
namespace nivo {

bool ParseLogoUrl(const std::string& uri, HttpUrl& url) {
  const std::string::size_type scheme = uri.find("://");
  if (scheme == std::string::npos)
    return false;
  const std::string::size_type hostStart = scheme + 3;
  const std::string::size_type slash = uri.find('/', hostStart);
  const std::string authority =
      slash == std::string::npos ? uri.substr(hostStart) : uri.substr(hostStart, slash - hostStart);
  Endpoint endpoint;
  if (!ParseEndpoint(authority, endpoint))
    return false;
  url.host = endpoint.host;
  url.port = endpoint.port;
  url.path = slash == std::string::npos ? std::string() : uri.substr(slash + 1);
  return true;
}

}  // namespace nivo
}  // namespace zu

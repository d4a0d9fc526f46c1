#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace zu_test {

// Points the add-on's provider endpoints (NIVOTV_SERVICE_HOST, NIVOTV_GUIDE_HOST) at a
// loopback port where nothing listens, so a channel load in a test fails at once instead of
// resolving the shipped host names. A test that serves a provider sets its own.
inline void PointProviderAtClosedPort() {
  int probe = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  unsigned short port = 9;
  if (probe >= 0 && ::bind(probe, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
      ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  if (probe >= 0)
    ::close(probe);
  const std::string endpoint = "127.0.0.1:" + std::to_string(port);
  ::setenv("NIVOTV_SERVICE_HOST", endpoint.c_str(), 1);
  ::setenv("NIVOTV_GUIDE_HOST", endpoint.c_str(), 1);
}

}  // namespace zu_test

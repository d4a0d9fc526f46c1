#pragma once

#include <string>

namespace zu {
namespace net {
namespace util {

// A new IPv4 socket descriptor of type (SOCK_STREAM, SOCK_DGRAM) for the named protocol
// ("tcp", "udp"; empty for the type's default), not inherited by child processes. Stream
// sockets get SO_REUSEADDR and SO_KEEPALIVE. -1 on failure; nothing is left open then.
// Marks the network as in use.
int CreateSocketDescriptor(int type, const std::string& protocolName);

}  // namespace util
}  // namespace net
}  // namespace zu

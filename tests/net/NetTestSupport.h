#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include "net/Address.h"
#include "net/Factory.h"
#include "net/ReadWriteSocket.h"

namespace zu_test {

// The local port a socket is bound to (host byte order), 0 when it has none.
inline unsigned short LocalPort(int descriptor) {
  sockaddr_in bound{};
  socklen_t length = sizeof(bound);
  if (::getsockname(descriptor, reinterpret_cast<sockaddr*>(&bound), &length) != 0)
    return 0;
  return ntohs(bound.sin_port);
}

// Both ends of a TCP connection over 127.0.0.1; empty pointers when it could not be made.
struct ConnectedPair {
  zu::net::ReadWriteSocketPtr client;    // made by Connect
  zu::net::ReadWriteSocketPtr accepted;  // made by Accept
};

inline ConnectedPair MakeConnectedPair() {
  ConnectedPair pair;
  const zu::net::Address loopback = zu::net::Address::GetLoopBackAddress();
  zu::net::ReadWriteSocketPtr listener = zu::net::factory::CreateTcpListenSocket(0, 4, loopback);
  if (!listener)
    return pair;
  pair.client =
      zu::net::factory::Connect(loopback, LocalPort(listener->GetDescriptor()), zu::net::TCP);
  if (pair.client)
    pair.accepted = zu::net::factory::Accept(listener);
  return pair;
}

}  // namespace zu_test

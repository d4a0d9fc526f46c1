#pragma once

#include "base/SharedPtr.h"
#include "net/Address.h"
#include "net/BroadcastReadSocket.h"
#include "net/BroadcastWriteSocket.h"
#include "net/Protocol.h"
#include "net/ReadWriteSocket.h"
#include "net/Socket.h"
#include "net/SocketServer.h"

namespace zu {
namespace net {
namespace factory {

// Every factory returns an empty pointer on failure and leaves no descriptor open then.

// A socket connected to address and port (host byte order). A refused connection fails at
// once; one that is not answered is given up after 10 seconds. Failures are not logged: the
// caller knows what it tried to reach.
ReadWriteSocketPtr Connect(const Address& address, unsigned short port, Protocol protocol);
// Takes the next connection of a listening socket, waiting for one; from and port receive
// the peer's address and port (host byte order). Failures are logged.
ReadWriteSocketPtr Accept(SocketPtr listening, Address& from, unsigned short& port);
ReadWriteSocketPtr Accept(SocketPtr listening, Address& from);
ReadWriteSocketPtr Accept(SocketPtr listening);
// A TCP socket bound to local and port (0: any free port) and listening with backlog.
// Failures are logged.
ReadWriteSocketPtr CreateTcpListenSocket(unsigned short port, unsigned int backlog,
                                         const Address& local);
// A UDP socket bound to local and port; backlog is not used. Failures are logged.
BroadcastReadSocketPtr CreateUdpListenSocket(unsigned short port, unsigned int backlog,
                                             const Address& local);
// An unbound UDP socket allowed to send to broadcast addresses. Failures are logged.
BroadcastWriteSocketPtr CreateUdpBroadcastSocket();
// A socket server whose thread "SocketServerImp" waits for its start message; empty when the
// thread or its wake-up signal cannot be created (logged).
SharedPtr<SocketServer> CreateSocketServer();

}  // namespace factory
}  // namespace net
}  // namespace zu

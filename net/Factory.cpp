#include "net/Factory.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "net/Util.h"
#include "net/imp/Connect.h"
#include "net/imp/SocketImp.h"
#include "net/imp/Util.h"

namespace zu {
namespace net {

namespace {

// How long a connection may take to be answered.
const zu::Time kConnectBound = zu::Time::FromSeconds(10);

// Closes a descriptor on every early return unless it was handed on.
class DescriptorGuard {
 public:
  explicit DescriptorGuard(int descriptor) : descriptor_(descriptor) {}
  ~DescriptorGuard() {
    if (descriptor_ != -1)
      ::close(descriptor_);
  }
  int Get() const { return descriptor_; }
  int Release() {
    const int descriptor = descriptor_;
    descriptor_ = -1;
    return descriptor;
  }

  DescriptorGuard(const DescriptorGuard&) = delete;
  DescriptorGuard& operator=(const DescriptorGuard&) = delete;

 private:
  int descriptor_;
};

const char* ProtocolName(Protocol protocol) {
  return protocol == TCP ? "tcp" : "udp";
}

sockaddr_in MakeTarget(const Address& address, unsigned short port) {
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(port);
  target.sin_addr = *address.GetInternetAddress();
  return target;
}

void SetNoDelay(int descriptor) {
  const int on = 1;
  ::setsockopt(descriptor, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
}

zu::Time Elapsed(const zu::Time& start) {
  const zu::Time now = zu::Time::NowMonotonic();
  return start < now ? now - start : zu::Time::Zero();
}

// Waits at most bound for a non-blocking connect to finish; errno tells why it did not.
bool FinishConnect(int descriptor, const zu::Time& bound) {
  const zu::Time start = zu::Time::NowMonotonic();
  for (;;) {
    const zu::Time elapsed = Elapsed(start);
    if (!(elapsed < bound)) {
      errno = ETIMEDOUT;
      return false;
    }
    const zu::Time left = bound - elapsed;
    const uint64_t limitSeconds = INT_MAX / 1000 - 1;
    const int milliseconds = left.GetSeconds() >= limitSeconds
                                 ? static_cast<int>(limitSeconds * 1000)
                                 : static_cast<int>(left.GetSeconds() * 1000 +
                                                    (left.GetNanoSeconds() + 999999) / 1000000);
    pollfd entry{descriptor, POLLOUT, 0};
    const int ready = ::poll(&entry, 1, milliseconds);
    if (ready < 0 && errno == EINTR)
      continue;
    if (ready < 0)
      return false;
    if (ready == 0)
      continue;  // the loop head decides whether the time is up
    int error = 0;
    socklen_t length = sizeof(error);
    if (::getsockopt(descriptor, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
      return false;
    if (error != 0) {
      errno = error;
      return false;
    }
    return true;
  }
}

// The shared part of the two listen factories.
SharedPtr<imp::SocketImp> CreateListenSocket(unsigned short port, unsigned int backlog,
                                             const Address& local, Protocol protocol) {
  const bool tcp = protocol == TCP;
  const int created =
      util::CreateSocketDescriptor(tcp ? SOCK_STREAM : SOCK_DGRAM, ProtocolName(protocol));
  if (created == -1)
    return SharedPtr<imp::SocketImp>();
  DescriptorGuard descriptor(created);
  const int on = 1;
  if (::setsockopt(descriptor.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on)) != 0)
    imp::util::PrintSocketError("zu::net::util::CreateSocketDescriptor failed create socket", true);
  const sockaddr_in target = MakeTarget(local, port);
  if (::bind(descriptor.Get(), reinterpret_cast<const sockaddr*>(&target), sizeof(target)) != 0) {
    imp::util::PrintSocketError("zu::net::factory::CreateListenSocket, bind failed", true);
    return SharedPtr<imp::SocketImp>();
  }
  const int queue =
      backlog > static_cast<unsigned int>(INT_MAX) ? INT_MAX : static_cast<int>(backlog);
  if (tcp && ::listen(descriptor.Get(), queue) != 0) {
    imp::util::PrintSocketError("zu::net::factory::CreateListenSocket, listen failed", true);
    return SharedPtr<imp::SocketImp>();
  }
  return std::make_shared<imp::SocketImp>(descriptor.Release());
}

}  // namespace

namespace imp {

ReadWriteSocketPtr ConnectWithin(const Address& address, unsigned short port, Protocol protocol,
                                 const zu::Time& bound) {
  const bool tcp = protocol == TCP;
  const int created =
      net::util::CreateSocketDescriptor(tcp ? SOCK_STREAM : SOCK_DGRAM, ProtocolName(protocol));
  if (created == -1)
    return ReadWriteSocketPtr();
  DescriptorGuard descriptor(created);

  // Non-blocking while connecting, so that an address that never answers costs at most
  // bound instead of the system's minutes of retries.
  const int flags = ::fcntl(descriptor.Get(), F_GETFL);
  if (flags < 0 || ::fcntl(descriptor.Get(), F_SETFL, flags | O_NONBLOCK) != 0)
    return ReadWriteSocketPtr();
  const sockaddr_in target = MakeTarget(address, port);
  if (::connect(descriptor.Get(), reinterpret_cast<const sockaddr*>(&target), sizeof(target)) !=
      0) {
    // An interrupted connect goes on in the background, just like one in progress.
    if (errno != EINPROGRESS && errno != EINTR)
      return ReadWriteSocketPtr();
    if (!FinishConnect(descriptor.Get(), bound))
      return ReadWriteSocketPtr();
  }
  if (::fcntl(descriptor.Get(), F_SETFL, flags) != 0)
    return ReadWriteSocketPtr();
  if (tcp)
    SetNoDelay(descriptor.Get());
  return std::make_shared<SocketImp>(descriptor.Release());
}

}  // namespace imp

namespace factory {

ReadWriteSocketPtr Connect(const Address& address, unsigned short port, Protocol protocol) {
  return imp::ConnectWithin(address, port, protocol, kConnectBound);
}

ReadWriteSocketPtr Accept(SocketPtr listening, Address& from, unsigned short& port) {
  const int descriptor = listening ? listening->GetDescriptor() : -1;
  if (descriptor == -1) {
    errno = EBADF;
    imp::util::PrintSocketError("zu::net::factory::Accept failed", true);
    return ReadWriteSocketPtr();
  }
  sockaddr_in peer{};
  int accepted = -1;
  do {
    socklen_t length = sizeof(peer);
    accepted = ::accept4(descriptor, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
  } while (accepted < 0 && errno == EINTR);
  if (accepted < 0) {
    imp::util::PrintSocketError("zu::net::factory::Accept failed", true);
    return ReadWriteSocketPtr();
  }
  SetNoDelay(accepted);
  from.SetAddress(peer);
  port = ntohs(peer.sin_port);
  return std::make_shared<imp::SocketImp>(accepted);
}

ReadWriteSocketPtr Accept(SocketPtr listening, Address& from) {
  unsigned short port = 0;
  return Accept(std::move(listening), from, port);
}

ReadWriteSocketPtr Accept(SocketPtr listening) {
  Address from;
  unsigned short port = 0;
  return Accept(std::move(listening), from, port);
}

ReadWriteSocketPtr CreateTcpListenSocket(unsigned short port, unsigned int backlog,
                                         const Address& local) {
  return CreateListenSocket(port, backlog, local, TCP);
}

BroadcastReadSocketPtr CreateUdpListenSocket(unsigned short port, unsigned int backlog,
                                             const Address& local) {
  return CreateListenSocket(port, backlog, local, UDP);
}

BroadcastWriteSocketPtr CreateUdpBroadcastSocket() {
  const int created = util::CreateSocketDescriptor(SOCK_DGRAM, "udp");
  if (created == -1)
    return BroadcastWriteSocketPtr();
  DescriptorGuard descriptor(created);
  const int on = 1;
  if (::setsockopt(descriptor.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on)) != 0)
    imp::util::PrintSocketError("zu::net::util::CreateSocketDescriptor failed create socket", true);
  if (::setsockopt(descriptor.Get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof(on)) != 0) {
    imp::util::PrintSocketError(
        "zu::net::factory::CreateUdpBroadcastSocket setsockopt SO_BROADCAST failed", true);
    return BroadcastWriteSocketPtr();
  }
  return std::make_shared<imp::SocketImp>(descriptor.Release());
}

}  // namespace factory
}  // namespace net
}  // namespace zu

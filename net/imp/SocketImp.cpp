#include "net/imp/SocketImp.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "net/imp/Util.h"

namespace zu {
namespace net {
namespace imp {

namespace {

// A poll time-out for the time left, rounded up to whole milliseconds so that the wait does
// not end just before the time is up; long waits are cut into pieces of about 24 days.
int ToPollMilliseconds(const zu::Time& left) {
  const uint64_t limitSeconds = INT_MAX / 1000 - 1;
  if (left.GetSeconds() >= limitSeconds)
    return static_cast<int>(limitSeconds * 1000);
  return static_cast<int>(left.GetSeconds() * 1000 + (left.GetNanoSeconds() + 999999) / 1000000);
}

zu::Time Elapsed(const zu::Time& start) {
  const zu::Time now = zu::Time::NowMonotonic();
  return start < now ? now - start : zu::Time::Zero();
}

}  // namespace

SocketImp::SocketImp(int descriptor) : descriptor_(descriptor) {}

SocketImp::~SocketImp() {
  Close();
}

bool SocketImp::IsValid() {
  return descriptor_.load() != -1;
}

bool SocketImp::Close() {
  const int descriptor = descriptor_.exchange(-1);
  if (descriptor != -1)
    ::close(descriptor);
  return true;
}

int SocketImp::GetDescriptor() {
  return descriptor_.load();
}

size_t SocketImp::ReceiveBytes(void* buffer, size_t size) {
  const int descriptor = descriptor_.load();
  if (descriptor == -1 || size == 0)
    return 0;
  ssize_t count = 0;
  do {
    count = ::recv(descriptor, buffer, size, 0);
  } while (count < 0 && errno == EINTR);
  if (count > 0)
    return static_cast<size_t>(count);
  // The end of the stream is the normal way a connection ends: not worth a log line.
  util::PrintSocketError("net::imp::SocketImp::ReceiveBytes, recv failed", count < 0);
  Close();
  return 0;
}

size_t SocketImp::ReceiveBytes(void* buffer, size_t size, const zu::Time& timeout) {
  if (!IsValid() || buffer == nullptr || size == 0)
    return 0;
  // Measured on the monotonic clock, so that a step of the wall clock neither cuts the wait
  // short nor stretches it.
  const zu::Time start = zu::Time::NowMonotonic();
  char* bytes = static_cast<char*>(buffer);
  size_t total = 0;
  while (total < size) {
    const int descriptor = descriptor_.load();
    if (descriptor == -1)
      break;
    const zu::Time elapsed = Elapsed(start);
    const zu::Time left = elapsed < timeout ? timeout - elapsed : zu::Time::Zero();
    pollfd entry{descriptor, POLLIN, 0};
    const int ready = ::poll(&entry, 1, ToPollMilliseconds(left));
    if (ready < 0) {
      if (errno == EINTR)
        continue;
      util::PrintSocketError("SocketImp::ReceiveBytes with timeout select failed", true);
      break;
    }
    if (ready == 0) {
      if (Elapsed(start) < timeout)
        continue;  // a long wait cut into pieces
      errno = ETIMEDOUT;
      util::PrintSocketError("SocketImp::ReceiveBytes TIMEOUT!!!", true);
      break;
    }
    // Readable, at the end of the stream or in error: the read tells which.
    const size_t count = ReceiveBytes(bytes + total, size - total);
    if (count == 0)
      break;
    total += count;
    if (!(Elapsed(start) < timeout))
      break;
  }
  // Bytes already taken from the socket are in the buffer and are always counted.
  return total;
}

size_t SocketImp::ReceiveBytesFrom(void* buffer, size_t size, Address& from) {
  from.initAddress();
  const int descriptor = descriptor_.load();
  if (descriptor == -1 || size == 0)
    return 0;
  sockaddr_in sender{};
  ssize_t count = 0;
  do {
    socklen_t length = sizeof(sender);
    count = ::recvfrom(descriptor, buffer, size, 0, reinterpret_cast<sockaddr*>(&sender), &length);
  } while (count < 0 && errno == EINTR);
  if (count > 0) {
    from.SetAddress(sender);
    return static_cast<size_t>(count);
  }
  util::PrintSocketError("net::imp::SocketImp::ReceiveBytesFrom, recvfrom failed", count < 0);
  Close();
  return 0;
}

size_t SocketImp::SendBytes(const void* data, size_t size) {
  const int descriptor = descriptor_.load();
  if (descriptor == -1 || size == 0)
    return 0;
  const char* rest = static_cast<const char*>(data);
  size_t remaining = size;
  while (remaining > 0) {
    // MSG_NOSIGNAL: a peer that has gone makes the send fail instead of raising SIGPIPE,
    // whose default action would end the whole host process.
    const ssize_t sent = ::send(descriptor, rest, remaining, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR)
      continue;
    if (sent <= 0) {
      util::PrintSocketError("net::imp::SocketImp::SendBytes, send failed", true);
      Close();
      return 0;
    }
    rest += sent;
    remaining -= static_cast<size_t>(sent);
  }
  return size;
}

size_t SocketImp::SendBytesTo(const void* data, size_t size, const Address& to,
                              unsigned short port) {
  const int descriptor = descriptor_.load();
  if (descriptor == -1 || size == 0)
    return 0;
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(port);
  target.sin_addr = *to.GetInternetAddress();
  const char* rest = static_cast<const char*>(data);
  size_t remaining = size;
  while (remaining > 0) {
    const ssize_t sent = ::sendto(descriptor, rest, remaining, MSG_NOSIGNAL,
                                  reinterpret_cast<const sockaddr*>(&target), sizeof(target));
    if (sent < 0 && errno == EINTR)
      continue;
    if (sent <= 0) {
      util::PrintSocketError("net::imp::SocketImp::SendBytesTo, sendto failed", true);
      Close();
      return 0;
    }
    rest += sent;
    remaining -= static_cast<size_t>(sent);
  }
  return size;
}

}  // namespace imp
}  // namespace net
}  // namespace zu

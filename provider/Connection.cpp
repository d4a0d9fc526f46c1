#include "provider/Connection.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <httplib.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace zu {
namespace provider {
namespace {

bool SameEndpoint(const sockaddr_storage& address, const std::string& ip, int port) {
  if (address.ss_family != AF_INET) {
    return false;
  }
  const sockaddr_in& in = reinterpret_cast<const sockaddr_in&>(address);
  char text[INET_ADDRSTRLEN];
  if (inet_ntop(AF_INET, &in.sin_addr, text, sizeof(text)) == nullptr) {
    return false;
  }
  return ip == text && ntohs(in.sin_port) == port;
}

}  // namespace

bool ResolveLoopback(const std::string& host, std::string& address) {
  std::string candidate = host == "localhost" ? "127.0.0.1" : host;
  in_addr parsed;
  if (inet_pton(AF_INET, candidate.c_str(), &parsed) != 1) {
    return false;
  }
  if ((ntohl(parsed.s_addr) >> 24) != 127) {
    return false;
  }
  address = candidate;
  return true;
}

// The descriptor of the connection a request arrived on, found by its two endpoints; -1 when
// none matches. The library does not hand the socket to handlers, and a reset or a check for
// a departed client needs it. The descriptor stays valid until the handler returns.
int FindConnection(const httplib::Request& request) {
  DIR* directory = opendir("/proc/self/fd");
  if (directory == nullptr) {
    return -1;
  }
  int found = -1;
  while (dirent* entry = readdir(directory)) {
    char* end = nullptr;
    long fd = std::strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != '\0' || fd == dirfd(directory)) {
      continue;
    }
    sockaddr_storage local, peer;
    socklen_t localLength = sizeof(local), peerLength = sizeof(peer);
    if (getsockname(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&local), &localLength) != 0 ||
        getpeername(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0) {
      continue;
    }
    if (SameEndpoint(local, request.local_addr, request.local_port) &&
        SameEndpoint(peer, request.remote_addr, request.remote_port)) {
      found = static_cast<int>(fd);
      break;
    }
  }
  closedir(directory);
  return found;
}

bool PeerClosed(int fd) {
  pollfd probe{fd, POLLRDHUP, 0};
  return poll(&probe, 1, 0) > 0 && (probe.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

// Aborts the connection with a TCP reset while leaving the descriptor to its owner:
// disconnecting an established socket (connect with AF_UNSPEC) makes the kernel send RST.
void ResetConnection(int fd) {
  sockaddr unspecified;
  std::memset(&unspecified, 0, sizeof(unspecified));
  unspecified.sa_family = AF_UNSPEC;
  connect(fd, &unspecified, sizeof(unspecified));
}

void EndBody(int fd) {
  if (fd >= 0) {
    shutdown(fd, SHUT_WR);
  }
}

// Waits (bounded) until everything written to fd has been acknowledged, so that a reset that
// follows does not swallow the bytes the client is meant to see first.
void WaitUntilSent(int fd) {
  for (int i = 0; i < 400; ++i) {
    int pending = 0;
    if (ioctl(fd, SIOCOUTQ, &pending) != 0 || pending == 0) {
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

int ReservePort(const std::string& host, std::uint16_t port, std::uint16_t& bound,
                std::string& error) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = std::string("socket: ") + std::strerror(errno);
    return -1;
  }
  int yes = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
  setsockopt(fd, SOL_SOCKET, SO_REUSEPORT, &yes, sizeof(yes));
  sockaddr_in address;
  std::memset(&address, 0, sizeof(address));
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  inet_pton(AF_INET, host.c_str(), &address.sin_addr);
  socklen_t length = sizeof(address);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    error = "cannot bind " + host + ":" + std::to_string(port) + ": " + std::strerror(errno);
    close(fd);
    return -1;
  }
  bound = ntohs(address.sin_port);
  return fd;
}

void IgnoreBrokenPipes() {
  // A client that goes away mid-body must cost a failed write, not the process.
  struct sigaction current;
  if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
    signal(SIGPIPE, SIG_IGN);
  }
}

}  // namespace provider
}  // namespace zu

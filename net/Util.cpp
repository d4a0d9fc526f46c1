#include "net/Util.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/imp/Base.h"
#include "net/imp/Util.h"

namespace zu {
namespace net {
namespace util {

namespace {

// The protocol number of name (the reentrant lookup: the plain one shares a static buffer
// between threads). Where the protocol database is missing, as in some minimal systems,
// "tcp" and "udp" still get their well-known numbers.
bool LookupProtocol(const std::string& name, int& number) {
  protoent entry{};
  protoent* found = nullptr;
  char buffer[1024];
  if (::getprotobyname_r(name.c_str(), &entry, buffer, sizeof(buffer), &found) == 0 &&
      found != nullptr) {
    number = found->p_proto;
    return true;
  }
  if (name == "tcp") {
    number = IPPROTO_TCP;
    return true;
  }
  if (name == "udp") {
    number = IPPROTO_UDP;
    return true;
  }
  return false;
}

bool EnableOption(int descriptor, int option) {
  const int on = 1;
  return ::setsockopt(descriptor, SOL_SOCKET, option, &on, sizeof(on)) == 0;
}

}  // namespace

int CreateSocketDescriptor(int type, const std::string& protocolName) {
  imp::Base::SetNetworkInUse();
  int protocol = 0;
  if (!protocolName.empty() && !LookupProtocol(protocolName, protocol))
    return -1;
  const int descriptor = ::socket(AF_INET, type | SOCK_CLOEXEC, protocol);
  if (descriptor == -1) {
    imp::util::PrintSocketError("zu::net::util::CreateSocketDescriptor, socket failed", true);
    return -1;
  }
  if (type == SOCK_STREAM &&
      (!EnableOption(descriptor, SO_REUSEADDR) || !EnableOption(descriptor, SO_KEEPALIVE))) {
    ::close(descriptor);
    return -1;
  }
  return descriptor;
}

}  // namespace util
}  // namespace net
}  // namespace zu

#include "net/Address.h"

#include <arpa/inet.h>
#include <unistd.h>

#include "net/imp/Resolver.h"
#include "output/Output.h"

namespace zu {
namespace net {

namespace {

// How long a forward or reverse lookup may take before it is given up.
const zu::Time kLookupBound = zu::Time::FromSeconds(3);

}  // namespace

Address::Address() {
  initAddress();
}

Address::Address(unsigned int hostOrder) {
  SetAddress(hostOrder);
}

Address::Address(const sockaddr_in& address) {
  SetAddress(address);
}

Address::Address(const in_addr& address) {
  SetAddress(address);
}

Address::Address(const Address& other) : address_(other.address_), networkUser_() {}

Address::Address(const std::string& name) {
  setupInternetAdress(name);
}

Address::~Address() = default;

Address& Address::operator=(unsigned int hostOrder) {
  SetAddress(hostOrder);
  return *this;
}

Address& Address::operator=(const sockaddr_in& address) {
  SetAddress(address);
  return *this;
}

Address& Address::operator=(const in_addr& address) {
  SetAddress(address);
  return *this;
}

Address& Address::operator=(const Address& other) {
  SetAddress(other);
  return *this;
}

Address& Address::operator=(const std::string& name) {
  setupInternetAdress(name);
  return *this;
}

void Address::SetAddress(unsigned int hostOrder) {
  address_.s_addr = htonl(hostOrder);
}

void Address::SetAddress(const sockaddr_in& address) {
  address_ = address.sin_addr;
}

void Address::SetAddress(const in_addr& address) {
  address_ = address;
}

void Address::SetAddress(const Address& other) {
  address_ = other.address_;
}

bool Address::SetHostName(const std::string& name) {
  return setupInternetAdress(name);
}

void Address::initAddress() {
  address_.s_addr = INADDR_ANY;
}

bool Address::setupInternetAdress(const std::string& name) {
  initAddress();
  std::string host = name;
  if (host.empty()) {
    char local[256] = {};
    if (::gethostname(local, sizeof(local) - 1) != 0) {
      ZU_ERROR("ZUNET", "Error setting up internet address of " + name);
      return false;
    }
    host = local;
  }
  in_addr numeric{};
  if (::inet_aton(host.c_str(), &numeric) != 0) {
    address_ = numeric;
    return true;
  }
  in_addr resolved{};
  if (!imp::resolver::Resolve(host, resolved, kLookupBound)) {
    ZU_ERROR("ZUNET", "Error setting up internet address of " + host);
    return false;
  }
  address_ = resolved;
  return true;
}

std::string Address::GetDotNotation() const {
  char text[INET_ADDRSTRLEN] = {};
  if (::inet_ntop(AF_INET, &address_, text, sizeof(text)) == nullptr)
    return std::string();
  return text;
}

std::string Address::GetHostName() const {
  std::string name;
  if (imp::resolver::ReverseResolve(address_, name, kLookupBound) && !name.empty())
    return name;
  return GetDotNotation();
}

Address Address::GetLoopBackAddress() {
  return Address(static_cast<unsigned int>(INADDR_LOOPBACK));
}

Address Address::GetBroadcastAddress() {
  return Address(static_cast<unsigned int>(INADDR_BROADCAST));
}

Address Address::GetAnyAddress() {
  return Address(static_cast<unsigned int>(INADDR_ANY));
}

Address Address::GetLocalAddress() {
  // Resolved once, under the guarded initialisation of a function-local static.
  static const Address local{std::string()};
  return local;
}

}  // namespace net
}  // namespace zu

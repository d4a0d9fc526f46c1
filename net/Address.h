#pragma once

#include <netinet/in.h>

#include <string>

#include "net/imp/Base.h"

namespace zu {
namespace net {

// An IPv4 address value (network byte order inside), 0.0.0.0 unless set. Names are resolved
// when they are set; a name that cannot be resolved within 3 seconds leaves 0.0.0.0 and is
// logged. Values are independent copies; any thread may use its own.
class Address {
 public:
  Address();
  // From a value in host byte order (0x7f000001 is 127.0.0.1).
  explicit Address(unsigned int hostOrder);
  Address(const sockaddr_in& address);
  Address(const in_addr& address);
  Address(const Address& other);
  // A host name, dotted text (taken without any lookup) or the empty string (the local host).
  Address(const std::string& name);
  virtual ~Address();

  Address& operator=(unsigned int hostOrder);
  Address& operator=(const sockaddr_in& address);
  Address& operator=(const in_addr& address);
  Address& operator=(const Address& other);
  Address& operator=(const std::string& name);

  void SetAddress(unsigned int hostOrder);
  void SetAddress(const sockaddr_in& address);
  void SetAddress(const in_addr& address);
  void SetAddress(const Address& other);
  // Resolves name as the string constructor does; false (logged) when it could not.
  bool SetHostName(const std::string& name);
  // Back to 0.0.0.0.
  void initAddress();

  // The stored address; valid as long as this object.
  const in_addr* GetInternetAddress() const { return &address_; }
  // The dotted text, for example "127.0.0.1".
  std::string GetDotNotation() const;
  // The name found by reverse lookup (at most 3 seconds), or the dotted text.
  std::string GetHostName() const;

  // Compare the stored 32-bit values as unsigned integers, as stored (network byte order).
  bool operator==(const Address& other) const { return address_.s_addr == other.address_.s_addr; }
  bool operator!=(const Address& other) const { return !(*this == other); }
  bool operator<(const Address& other) const { return address_.s_addr < other.address_.s_addr; }

  static Address GetLoopBackAddress();   // 127.0.0.1
  static Address GetBroadcastAddress();  // 255.255.255.255
  static Address GetAnyAddress();        // 0.0.0.0
  // The address of the local host name, resolved once per process on first use.
  static Address GetLocalAddress();

 private:
  bool setupInternetAdress(const std::string& name);

  in_addr address_;
  imp::Base networkUser_;
};

}  // namespace net
}  // namespace zu

#pragma once

#include <cstddef>

#include "base/SharedPtr.h"
#include "net/Address.h"
#include "net/Socket.h"

namespace zu {
namespace net {

// An unbound datagram socket allowed to send to broadcast addresses.
class BroadcastWriteSocket : public virtual Socket {
 public:
  // Sends size bytes to the address and port (host byte order). Returns size, or 0 when the
  // socket is invalid, size is 0 or sending failed (logged; the socket is then closed).
  virtual size_t SendBytesTo(const void* data, size_t size, const Address& to,
                             unsigned short port) = 0;
};

typedef SharedPtr<BroadcastWriteSocket> BroadcastWriteSocketPtr;

}  // namespace net
}  // namespace zu

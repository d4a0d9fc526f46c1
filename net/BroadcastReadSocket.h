#pragma once

#include <cstddef>

#include "base/SharedPtr.h"
#include "net/Address.h"
#include "net/Socket.h"

namespace zu {
namespace net {

// A bound datagram socket that receives from any sender.
class BroadcastReadSocket : public virtual Socket {
 public:
  // One datagram of at most size bytes into buffer; from is set to its sender, or to 0.0.0.0
  // when nothing was received. Returns the count; 0 when the socket is invalid, size is 0 or
  // the receive failed (logged; the socket is then closed).
  virtual size_t ReceiveBytesFrom(void* buffer, size_t size, Address& from) = 0;
};

typedef SharedPtr<BroadcastReadSocket> BroadcastReadSocketPtr;

}  // namespace net
}  // namespace zu

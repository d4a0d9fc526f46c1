#pragma once

#include "base/SharedPtr.h"

namespace zu {
namespace net {

// A socket descriptor owned by the object. A socket has no lock: one thread at a time may use
// it. Once closed (by Close, or by a failed send or receive) it stays invalid and every
// transfer on it returns 0.
class Socket {
 public:
  // Whether the descriptor is open.
  virtual bool IsValid() = 0;
  // Closes the descriptor if it is open; always true. Closing twice is harmless.
  virtual bool Close() = 0;
  // The descriptor, or -1 when closed. It stays owned by the socket.
  virtual int GetDescriptor() = 0;
  // Closes an open descriptor.
  virtual ~Socket() = default;
};

typedef SharedPtr<Socket> SocketPtr;

}  // namespace net
}  // namespace zu

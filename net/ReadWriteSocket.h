#pragma once

#include <cstddef>

#include "base/SharedPtr.h"
#include "multi_threading/Time.h"
#include "net/Socket.h"

namespace zu {
namespace net {

// A connected stream socket (or a connected datagram socket).
class ReadWriteSocket : public virtual Socket {
 public:
  // One read of at most size bytes into buffer, waiting until something arrives. Returns the
  // count read; 0 when the socket is invalid or size is 0, and 0 at the end of the stream or
  // on an error, after which the socket is closed (only an error is logged).
  virtual size_t ReceiveBytes(void* buffer, size_t size) = 0;
  // Reads until size bytes have arrived or timeout (measured from the call) has passed.
  // Returns the count placed in buffer, which is less than size when the time ran out
  // (logged as "SocketImp::ReceiveBytes TIMEOUT!!!") or the stream ended (the socket is then
  // closed). 0 when the socket is invalid, buffer is null or size is 0.
  virtual size_t ReceiveBytes(void* buffer, size_t size, const zu::Time& timeout) = 0;
  // Sends all size bytes. Returns size, or 0 when the socket is invalid, size is 0 or sending
  // failed (logged; the socket is then closed). A closed peer never raises SIGPIPE.
  virtual size_t SendBytes(const void* data, size_t size) = 0;
};

typedef SharedPtr<ReadWriteSocket> ReadWriteSocketPtr;

}  // namespace net
}  // namespace zu

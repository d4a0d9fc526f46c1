#pragma once

#include "multi_threading/Time.h"
#include "net/Address.h"
#include "net/Protocol.h"
#include "net/ReadWriteSocket.h"

namespace zu {
namespace net {
namespace imp {

// factory::Connect with the time a connection may take to be answered as a parameter. The
// connect runs non-blocking and the socket is blocking again when it is returned.
ReadWriteSocketPtr ConnectWithin(const Address& address, unsigned short port, Protocol protocol,
                                 const zu::Time& bound);

}  // namespace imp
}  // namespace net
}  // namespace zu

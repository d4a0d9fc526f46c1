#pragma once

#include "base/SharedPtr.h"
#include "net/ReadWriteSocket.h"

namespace zu {
namespace net {

// Watches any number of connected sockets on a thread of its own and hands each readable
// one to the receiver registered with it. Every operation may be called from any thread; the
// registrations are changed by messages to the server's thread, which alone touches them.
class SocketServer {
 public:
  // Implemented by users of the server; called only on the server's thread, one socket
  // after another.
  class DataReceiver {
   public:
    virtual ~DataReceiver() = default;
    // socket is readable, at the end of its stream or in error: a read tells which. True
    // when more data is expected; the server does not act on the result. A socket that the
    // receiver closes is left out of later passes until it is removed.
    virtual bool OnDataReceived(SharedPtr<ReadWriteSocket> socket) = 0;
    // Called after every pass over the sockets (a pass lasts at most 300 ms), once for each
    // registration, so that a receiver can act on time, e.g. close a connection left unused.
    // Does nothing unless overridden.
    virtual void OnPassEnd() {}
  };
  typedef SharedPtr<DataReceiver> DataReceiverPtr;

  // Stops the server's thread (as Stop(true)) and releases every registration.
  virtual ~SocketServer() = default;
  // Makes the server watch its sockets. With wait, returns once the server thread has
  // switched. False when the server's thread is not running, the request was refused, or
  // (with wait) the server stopped before it handled the request.
  virtual bool Start(bool wait) = 0;
  // Ends the watching; with wait, also ends the server's thread and waits for it.
  virtual void Stop(bool wait) = 0;
  // Registers socket with receiver; the server keeps both alive until the socket is
  // removed or the server is destroyed. The same socket may be registered more than once.
  // Served from the next pass on. False when the thread is not running, the request was
  // refused, or socket or receiver is empty (logged).
  virtual bool AddSocket(ReadWriteSocketPtr socket, DataReceiverPtr receiver) = 0;
  // Unregisters the first registration of socket (the same object); an unknown socket
  // changes nothing. It may still be served once until the request is handled. False when
  // the thread is not running or the request was refused.
  virtual bool RemoveSocket(ReadWriteSocketPtr socket) = 0;
};

typedef SharedPtr<SocketServer> SocketServerPtr;

}  // namespace net
}  // namespace zu

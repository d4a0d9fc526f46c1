#pragma once

#include "multi_threading/ThreadObject.h"

namespace zu {
namespace net {
namespace imp {

class SocketServerImp;

// The body of a socket server's thread: runs the server's loop. It holds the server by a
// plain pointer: the server joins its thread before it goes away.
class ThreadObject : public multi_threading::ThreadObject {
 public:
  explicit ThreadObject(SocketServerImp* server) : server_(server) {}
  bool Run() override;

 private:
  SocketServerImp* const server_;
};

}  // namespace imp
}  // namespace net
}  // namespace zu

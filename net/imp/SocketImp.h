#pragma once

#include <atomic>

#include "net/BroadcastReadSocket.h"
#include "net/BroadcastWriteSocket.h"
#include "net/ReadWriteSocket.h"
#include "net/imp/Base.h"

namespace zu {
namespace net {
namespace imp {

// The one socket implementation behind every socket interface: a descriptor owned by the
// object, closed at the latest when it is destroyed. Transfers are retried when a signal
// interrupts them; sends never raise SIGPIPE.
class SocketImp : public virtual ReadWriteSocket,
                  public virtual BroadcastReadSocket,
                  public virtual BroadcastWriteSocket,
                  private Base {
 public:
  // Takes ownership of descriptor (-1 gives a closed socket).
  explicit SocketImp(int descriptor);
  ~SocketImp() override;

  bool IsValid() override;
  bool Close() override;
  int GetDescriptor() override;
  size_t ReceiveBytes(void* buffer, size_t size) override;
  size_t ReceiveBytes(void* buffer, size_t size, const zu::Time& timeout) override;
  size_t ReceiveBytesFrom(void* buffer, size_t size, Address& from) override;
  size_t SendBytes(const void* data, size_t size) override;
  size_t SendBytesTo(const void* data, size_t size, const Address& to,
                     unsigned short port) override;

  SocketImp(const SocketImp&) = delete;
  SocketImp& operator=(const SocketImp&) = delete;

 private:
  // Atomic, so that a socket server's thread may test validity while the owner closes it;
  // Close hands the descriptor to exactly one caller.
  std::atomic<int> descriptor_;
};

typedef SharedPtr<SocketImp> SocketImpPtr;

}  // namespace imp
}  // namespace net
}  // namespace zu

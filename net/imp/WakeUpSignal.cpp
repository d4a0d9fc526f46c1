#include "net/imp/WakeUpSignal.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "net/imp/Util.h"

namespace zu {
namespace net {
namespace imp {

SharedPtr<WakeUpSignal> WakeUpSignal::Create() {
  const int descriptor = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (descriptor == -1) {
    util::PrintSocketError("zu::net::imp::WakeUpSignal, eventfd failed", true);
    return SharedPtr<WakeUpSignal>();
  }
  return SharedPtr<WakeUpSignal>(new WakeUpSignal(descriptor));
}

WakeUpSignal::~WakeUpSignal() {
  ::close(descriptor_);
}

void WakeUpSignal::Signal() {
  // Called from whatever thread posts a message: its errno stays as it was.
  const int error = errno;
  const uint64_t one = 1;
  // Only fails when the counter is about to overflow, which leaves it readable anyway.
  while (::write(descriptor_, &one, sizeof(one)) < 0 && errno == EINTR) {
  }
  errno = error;
}

void WakeUpSignal::Drain() {
  uint64_t count = 0;
  // One read resets the counter; EAGAIN means there was nothing to consume.
  while (::read(descriptor_, &count, sizeof(count)) < 0 && errno == EINTR) {
  }
}

}  // namespace imp
}  // namespace net
}  // namespace zu

#include "multi_threading/imp/Deadline.h"

#include <limits>

namespace zu {
namespace multi_threading {
namespace imp {

timespec AddTimeout(const timespec& start, const Time& timeout) {
  const uint64_t maxSeconds = static_cast<uint64_t>(std::numeric_limits<time_t>::max());
  timespec latest{};
  latest.tv_sec = std::numeric_limits<time_t>::max();
  latest.tv_nsec = 999999999;

  uint64_t startSeconds = start.tv_sec < 0 ? 0 : static_cast<uint64_t>(start.tv_sec);
  uint64_t nanoseconds = static_cast<uint64_t>(start.tv_nsec) + timeout.GetNanoSeconds();
  uint64_t carry = 0;
  if (nanoseconds > 999999999) {
    nanoseconds -= 1000000000;
    carry = 1;
  }
  if (timeout.GetSeconds() > maxSeconds || startSeconds > maxSeconds - timeout.GetSeconds() ||
      startSeconds + timeout.GetSeconds() > maxSeconds - carry)
    return latest;

  timespec deadline{};
  deadline.tv_sec = static_cast<time_t>(startSeconds + timeout.GetSeconds() + carry);
  deadline.tv_nsec = static_cast<long>(nanoseconds);
  return deadline;
}

timespec MonotonicDeadline(const Time& timeout) {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return AddTimeout(now, timeout);
}

}  // namespace imp
}  // namespace multi_threading
}  // namespace zu

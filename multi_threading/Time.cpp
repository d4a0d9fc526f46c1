#include "multi_threading/Time.h"

#include <sys/time.h>
#include <time.h>

namespace zu {

Time Time::Now() {
  timeval tv{};
  ::gettimeofday(&tv, nullptr);
  return Raw(static_cast<uint64_t>(tv.tv_sec), static_cast<uint64_t>(tv.tv_usec) * 1000);
}

Time Time::NowMonotonic() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return Raw(static_cast<uint64_t>(ts.tv_sec), static_cast<uint64_t>(ts.tv_nsec));
}

}  // namespace zu

#pragma once

#include <time.h>

#include "multi_threading/Time.h"

namespace zu {
namespace multi_threading {
namespace imp {

// Every timed wait of the toolkit turns its time-out into an absolute deadline on
// CLOCK_MONOTONIC, so stepping the wall clock neither stretches nor cuts a wait short.

// start + timeout; a sum that does not fit saturates to the largest time instead of
// wrapping into the past.
timespec AddTimeout(const timespec& start, const Time& timeout);
// The monotonic clock now + timeout, saturating as AddTimeout.
timespec MonotonicDeadline(const Time& timeout);

}  // namespace imp
}  // namespace multi_threading
}  // namespace zu

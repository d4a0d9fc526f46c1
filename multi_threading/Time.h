#pragma once

#include <cstdint>

#include "base/Exception.h"
#include "base/SharedPtr.h"
#include "base/System.h"

namespace zu {

class Stream;

// Thrown by Time subtraction whose result would be negative.
class UnderflowError : public Exception {
 public:
  UnderflowError() : Exception("zu::Time::UnderflowError") {}
};

// Seconds and nanoseconds, used both as a point in time (seconds since 1970-01-01 UTC for
// Now(), an arbitrary origin for NowMonotonic()) and as a duration. Every operation keeps the
// nanoseconds in 0..999999999.
class Time {
 public:
  Time() = default;
  // Nanoseconds of a second or more carry into the seconds.
  Time(unsigned long seconds, unsigned long nanoseconds) {
    *this = FromSeconds(seconds);
    *this += FromNanoSeconds(nanoseconds);
  }

  static Time Zero() { return Time(); }
  // The largest seconds value; used as "no time limit" by the waits.
  static Time Infinite() { return Raw(UINT64_MAX, 0); }
  // Wall clock, microsecond resolution.
  static Time Now();
  // Monotonic clock, nanosecond resolution; unaffected by changes of the wall clock.
  static Time NowMonotonic();

  static Time FromSeconds(unsigned long s) { return Raw(s, 0); }
  static Time FromMilliSeconds(unsigned long ms) { return Raw(ms / 1000, (ms % 1000) * 1000000); }
  static Time FromMicroSeconds(unsigned long us) {
    return Raw(us / 1000000, (us % 1000000) * 1000);
  }
  static Time FromNanoSeconds(unsigned long ns) { return Raw(ns / 1000000000, ns % 1000000000); }

  uint64_t GetSeconds() const { return seconds_; }
  uint64_t GetNanoSeconds() const { return nanoseconds_; }

  // Adds with carry; no saturation: Infinite() plus anything wraps around.
  Time& operator+=(const Time& other) {
    seconds_ += other.seconds_;
    nanoseconds_ += other.nanoseconds_;
    if (nanoseconds_ > 999999999) {
      nanoseconds_ -= 1000000000;
      ++seconds_;
    }
    return *this;
  }

  // Subtracts with borrow; throws UnderflowError when other is larger.
  Time& operator-=(const Time& other) {
    uint64_t borrow = 0;
    uint64_t ns = nanoseconds_;
    if (ns < other.nanoseconds_) {
      borrow = 1;
      ns += 1000000000;
    }
    if (seconds_ < other.seconds_ || seconds_ - other.seconds_ < borrow) {
      throw UnderflowError();
    }
    seconds_ = seconds_ - other.seconds_ - borrow;
    nanoseconds_ = ns - other.nanoseconds_;
    return *this;
  }

  bool operator<(const Time& other) const {
    return seconds_ < other.seconds_ ||
           (seconds_ == other.seconds_ && nanoseconds_ < other.nanoseconds_);
  }
  bool operator==(const Time& other) const {
    return seconds_ == other.seconds_ && nanoseconds_ == other.nanoseconds_;
  }
  bool operator!=(const Time& other) const { return !(*this == other); }
  bool operator>(const Time& other) const { return other < *this; }
  bool operator<=(const Time& other) const { return !(other < *this); }
  bool operator>=(const Time& other) const { return !(*this < other); }

 private:
  static Time Raw(uint64_t seconds, uint64_t nanoseconds) {
    Time t;
    t.seconds_ = seconds;
    t.nanoseconds_ = nanoseconds;
    return t;
  }

  uint64_t seconds_ = 0;
  uint64_t nanoseconds_ = 0;
};

inline Time operator+(Time a, const Time& b) {
  return a += b;
}
inline Time operator-(Time a, const Time& b) {
  return a -= b;
}

// Writes the seconds, the codec's separator and the nanoseconds (with the ASCII codec
// "12 34"); reads the two values back in the same order.
SharedPtr<Stream> operator<<(SharedPtr<Stream> stream, const Time& time);
SharedPtr<Stream> operator>>(SharedPtr<Stream> stream, Time& time);

namespace system {

// Blocks the calling thread for duration; a signal does not cut it short.
inline void Sleep(const Time& duration) {
  Sleep(duration.GetSeconds(), duration.GetNanoSeconds());
}

}  // namespace system

}  // namespace zu

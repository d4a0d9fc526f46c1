#pragma once

#include <unistd.h>

#include <functional>
#include <string>

#include "base/System.h"
#include "multi_threading/Time.h"

namespace zu_test {

// Polls condition until it holds or a generous bound passes; true when it held.
inline bool WaitFor(const std::function<bool()>& condition,
                    const zu::Time& bound = zu::Time::FromSeconds(30)) {
  const zu::Time start = zu::Time::NowMonotonic();
  while (!condition()) {
    if (!(zu::Time::NowMonotonic() - start < bound))
      return condition();
    zu::system::Sleep(zu::Time::FromMilliSeconds(1));
  }
  return true;
}

// Gives another thread the chance to do what it should not; never decides a test by itself.
inline void Settle() {
  zu::system::Sleep(zu::Time::FromMilliSeconds(50));
}

// A name for a named system object that no other process or test case uses.
inline std::string UniqueName(const std::string& what) {
  return "/zu_mt_" + what + "_" + std::to_string(::getpid());
}

inline zu::Time Elapsed(const zu::Time& start) {
  return zu::Time::NowMonotonic() - start;
}

}  // namespace zu_test

#pragma once

#include <netinet/in.h>

#include <functional>
#include <string>

#include "multi_threading/Time.h"

namespace zu {
namespace net {
namespace imp {
namespace resolver {

// A blocking forward lookup: the first IPv4 address of name into address; false when there
// is none.
typedef std::function<bool(const std::string& name, in_addr& address)> ForwardLookup;
// A blocking reverse lookup: the host name of address; false when there is none.
typedef std::function<bool(const in_addr& address, std::string& name)> ReverseLookup;

// The system's lookups (getaddrinfo and getnameinfo, which are thread-safe).
bool SystemForwardLookup(const std::string& name, in_addr& address);
bool SystemReverseLookup(const in_addr& address, std::string& name);

// Replaces the lookups used by Resolve and ReverseResolve; an empty function restores the
// system's. Meant for tests; lookups already under way keep the function they started with.
void SetLookups(ForwardLookup forward, ReverseLookup reverse);

// Runs the forward lookup on a thread of its own and waits for it at most bound. A lookup
// that outlives its bound is abandoned: it finishes on its own thread, which owns everything
// it touches, and its result is dropped; the library this code is linked into then stays
// loaded until the process ends, so that the thread has code to return to. False on failure
// or time-out; address is then untouched.
bool Resolve(const std::string& name, in_addr& address, const zu::Time& bound);
// As Resolve, for the reverse lookup.
bool ReverseResolve(const in_addr& address, std::string& name, const zu::Time& bound);

}  // namespace resolver
}  // namespace imp
}  // namespace net
}  // namespace zu

// A library carrying the toolkit's name resolution, loaded and unloaded by ResolverPinTest as a
// host loads and unloads the add-on library.

#include <netinet/in.h>

#include "net/imp/Resolver.h"

// Resolves name, waiting at most milliseconds; false when it failed or was abandoned.
extern "C" __attribute__((visibility("default"))) bool ZuProbeResolve(const char* name,
                                                                      unsigned long milliseconds) {
  in_addr address{};
  return zu::net::imp::resolver::Resolve(name, address, zu::Time::FromMilliSeconds(milliseconds));
}

#include "net/imp/Resolver.h"

#include <dlfcn.h>
#include <netdb.h>
#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

#include "base/SharedPtr.h"

namespace zu {
namespace net {
namespace imp {
namespace resolver {

namespace {

struct Lookups {
  ForwardLookup forward;
  ReverseLookup reverse;
};

// Replaced as a whole, so a lookup always sees a matching pair. Accessed atomically.
SharedPtr<const Lookups> installed;

SharedPtr<const Lookups> CurrentLookups() {
  SharedPtr<const Lookups> lookups = std::atomic_load(&installed);
  if (lookups)
    return lookups;
  static const SharedPtr<const Lookups> system =
      std::make_shared<const Lookups>(Lookups{&SystemForwardLookup, &SystemReverseLookup});
  return system;
}

// What a lookup and its caller share. The lookup thread and the caller each hold a
// reference, so whichever finishes last frees it.
template <class Result>
struct Shared {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;  // guarded by mutex
  bool found = false;     // guarded by mutex
  Result result{};        // guarded by mutex
};

// Keeps the library this code is linked into (the add-on's) loaded until the process ends:
// an abandoned lookup thread returns into it whenever its lookup ends, perhaps after the host
// has unloaded the library. Done only then, so that a library whose lookups have all ended
// can still be unloaded. The reference this takes is never released.
void PinOwnLibrary() {
  static std::once_flag pinned;
  std::call_once(pinned, []() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&PinOwnLibrary), &info) == 0 ||
        info.dli_fname == nullptr || info.dli_fname[0] == '\0')
      return;  // linked into the program itself, which is never unloaded
    ::dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
  });
}

// Runs lookup(result) on a thread of its own and waits at most bound for it. A lookup that
// ended is joined, so no code of it runs any more when this returns; one that did not is
// abandoned.
template <class Result>
bool RunBounded(const std::function<bool(Result&)>& lookup, Result& result, const zu::Time& bound) {
  SharedPtr<Shared<Result>> shared = std::make_shared<Shared<Result>>();
  std::thread worker;
  try {
    worker = std::thread([shared, lookup]() {
      Result found{};
      bool ok = false;
      try {
        ok = lookup(found);
      } catch (...) {
        ok = false;
      }
      std::lock_guard<std::mutex> lock(shared->mutex);
      shared->finished = true;
      shared->found = ok;
      shared->result = found;
      shared->done.notify_all();
    });
  } catch (const std::system_error&) {
    return false;  // no thread for the lookup: treated as a failed lookup
  }

  // Bounds beyond a day are a day; a lookup never legitimately takes that long.
  const uint64_t day = 24 * 3600;
  const uint64_t seconds = bound.GetSeconds() < day ? bound.GetSeconds() : day;
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(seconds) +
                     std::chrono::nanoseconds(bound.GetNanoSeconds());
  std::unique_lock<std::mutex> lock(shared->mutex);
  if (!shared->done.wait_until(lock, limit, [&shared]() { return shared->finished; })) {
    lock.unlock();
    worker.detach();
    PinOwnLibrary();
    return false;
  }
  const bool found = shared->found;
  if (found)
    result = shared->result;
  lock.unlock();
  worker.join();
  return found;
}

}  // namespace

bool SystemForwardLookup(const std::string& name, in_addr& address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (::getaddrinfo(name.c_str(), nullptr, &hints, &list) != 0 || list == nullptr)
    return false;
  bool found = false;
  for (addrinfo* entry = list; entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family == AF_INET && entry->ai_addr != nullptr &&
        entry->ai_addrlen >= sizeof(sockaddr_in)) {
      sockaddr_in ipv4{};
      std::memcpy(&ipv4, entry->ai_addr, sizeof(ipv4));
      address = ipv4.sin_addr;
      found = true;
      break;
    }
  }
  ::freeaddrinfo(list);
  return found;
}

bool SystemReverseLookup(const in_addr& address, std::string& name) {
  sockaddr_in ipv4{};
  ipv4.sin_family = AF_INET;
  ipv4.sin_addr = address;
  char host[NI_MAXHOST] = {};
  if (::getnameinfo(reinterpret_cast<const sockaddr*>(&ipv4), sizeof(ipv4), host, sizeof(host),
                    nullptr, 0, NI_NAMEREQD) != 0)
    return false;
  name = host;
  return true;
}

void SetLookups(ForwardLookup forward, ReverseLookup reverse) {
  SharedPtr<const Lookups> lookups;
  if (forward || reverse) {
    lookups = std::make_shared<const Lookups>(
        Lookups{forward ? forward : ForwardLookup(&SystemForwardLookup),
                reverse ? reverse : ReverseLookup(&SystemReverseLookup)});
  }
  std::atomic_store(&installed, lookups);
}

bool Resolve(const std::string& name, in_addr& address, const zu::Time& bound) {
  const SharedPtr<const Lookups> lookups = CurrentLookups();
  std::function<bool(in_addr&)> lookup = [lookups, name](in_addr& found) {
    return lookups->forward(name, found);
  };
  return RunBounded(lookup, address, bound);
}

bool ReverseResolve(const in_addr& address, std::string& name, const zu::Time& bound) {
  const SharedPtr<const Lookups> lookups = CurrentLookups();
  const in_addr copy = address;
  std::function<bool(std::string&)> lookup = [lookups, copy](std::string& found) {
    return lookups->reverse(copy, found);
  };
  return RunBounded(lookup, name, bound);
}

}  // namespace resolver
}  // namespace imp
}  // namespace net
}  // namespace zu

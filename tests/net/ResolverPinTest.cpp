// A lookup thread that outlives its bound must still have code to return to after the host has
// unloaded the library that started it; a library whose lookups all ended must unload.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <netdb.h>

#include <condition_variable>
#include <cstring>
#include <mutex>

#include "multi_threading/TestSupport.h"

namespace {

// Every lookup of this process fails without asking anyone; one of this name blocks first
// until released.
const char kBlockedName[] = "blocked.invalid";

std::mutex gateMutex;
std::condition_variable gateOpened;
bool gateOpen = false;
bool blockedReturned = false;

void ReleaseBlockedLookup() {
  std::lock_guard<std::mutex> lock(gateMutex);
  gateOpen = true;
  gateOpened.notify_all();
}

bool BlockedLookupReturned() {
  std::lock_guard<std::mutex> lock(gateMutex);
  return blockedReturned;
}

}  // namespace

// Exported from the program (see CMakeLists.txt), so the probe library's lookups come here.
extern "C" int getaddrinfo(const char* node, const char*, const addrinfo*, addrinfo** result) {
  *result = nullptr;
  if (node != nullptr && std::strcmp(node, kBlockedName) == 0) {
    std::unique_lock<std::mutex> lock(gateMutex);
    gateOpened.wait(lock, [] { return gateOpen; });
    blockedReturned = true;
  }
  return EAI_NONAME;
}

namespace {

typedef bool (*ResolveFunction)(const char* name, unsigned long milliseconds);

bool ProbeLoaded() {
  void* handle = ::dlopen(ZU_RESOLVER_PROBE, RTLD_NOW | RTLD_NOLOAD);
  if (handle != nullptr)
    ::dlclose(handle);
  return handle != nullptr;
}

// Loads the probe, resolves name with the bound, and unloads it (the host's last dlclose).
void ResolveInProbe(const char* name, unsigned long milliseconds) {
  void* probe = ::dlopen(ZU_RESOLVER_PROBE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(nullptr, probe) << ::dlerror();
  auto resolve = reinterpret_cast<ResolveFunction>(::dlsym(probe, "ZuProbeResolve"));
  ASSERT_NE(nullptr, resolve);
  EXPECT_FALSE(resolve(name, milliseconds));
  EXPECT_EQ(0, ::dlclose(probe));
}

// In this order: once kept loaded, the library stays so for the rest of the process.
TEST(ResolverPin, LibraryStaysLoadedOnlyWhileAnAbandonedLookupMayReturnIntoIt) {
  ResolveInProbe("ends.invalid", 30000);
  EXPECT_FALSE(ProbeLoaded());

  ResolveInProbe(kBlockedName, 20);
  EXPECT_TRUE(ProbeLoaded());
  // The abandoned lookup returns into the library, which must still be there.
  ReleaseBlockedLookup();
  EXPECT_TRUE(zu_test::WaitFor(BlockedLookupReturned));
}

}  // namespace

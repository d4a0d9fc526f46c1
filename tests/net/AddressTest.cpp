#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "multi_threading/TestSupport.h"
#include "net/Address.h"
#include "net/Factory.h"
#include "net/imp/Base.h"
#include "net/imp/Resolver.h"
#include "output/LogRecorder.h"

namespace {

using zu::Time;
using zu::net::Address;
namespace resolver = zu::net::imp::resolver;

in_addr Dotted(const char* text) {
  in_addr address{};
  inet_aton(text, &address);
  return address;
}

// Installs counting lookups for a test and restores the system's afterwards. Names found in
// the table resolve; every other name fails.
class FakeResolver {
 public:
  struct Calls {
    std::mutex mutex;
    std::vector<std::string> forward;
    int reverse = 0;
  };

  FakeResolver() : calls_(std::make_shared<Calls>()) {
    auto calls = calls_;
    resolver::SetLookups(
        [calls](const std::string& name, in_addr& address) {
          std::lock_guard<std::mutex> lock(calls->mutex);
          calls->forward.push_back(name);
          if (name == "gateway.example") {
            address = Dotted("192.0.2.7");
            return true;
          }
          return false;
        },
        [calls](const in_addr& address, std::string& name) {
          std::lock_guard<std::mutex> lock(calls->mutex);
          ++calls->reverse;
          if (address.s_addr == Dotted("192.0.2.7").s_addr) {
            name = "box.example";
            return true;
          }
          return false;
        });
  }
  ~FakeResolver() { resolver::SetLookups(nullptr, nullptr); }

  std::vector<std::string> Forward() {
    std::lock_guard<std::mutex> lock(calls_->mutex);
    return calls_->forward;
  }
  int Reverse() {
    std::lock_guard<std::mutex> lock(calls_->mutex);
    return calls_->reverse;
  }

 private:
  zu::SharedPtr<Calls> calls_;
};

// A lookup that blocks until released, to stand for a name server that does not answer.
struct Gate {
  std::mutex mutex;
  std::condition_variable changed;
  bool open = false;
  std::atomic<int> finished{0};

  void Release() {
    std::lock_guard<std::mutex> lock(mutex);
    open = true;
    changed.notify_all();
  }
};

void InstallBlockingLookups(const zu::SharedPtr<Gate>& gate) {
  resolver::SetLookups(
      [gate](const std::string&, in_addr& address) {
        std::unique_lock<std::mutex> lock(gate->mutex);
        gate->changed.wait(lock, [&gate]() { return gate->open; });
        address = Dotted("192.0.2.99");
        ++gate->finished;
        return true;
      },
      [gate](const in_addr&, std::string& name) {
        std::unique_lock<std::mutex> lock(gate->mutex);
        gate->changed.wait(lock, [&gate]() { return gate->open; });
        name = "late.example";
        ++gate->finished;
        return true;
      });
}

TEST(AddressResolution, DottedTextIsTakenWithoutLookup) {
  FakeResolver fake;  // would fail every name
  zu_test::LogRecorder log;

  EXPECT_EQ(Address("127.0.0.1").GetDotNotation(), "127.0.0.1");
  EXPECT_EQ(Address("192.168.10.200"), Address(0xc0a80ac8u));
  Address assigned;
  assigned = std::string("10.1.2.3");
  EXPECT_EQ(assigned.GetDotNotation(), "10.1.2.3");
  EXPECT_TRUE(assigned.SetHostName("255.255.255.255"));
  EXPECT_EQ(assigned, Address::GetBroadcastAddress());

  EXPECT_TRUE(fake.Forward().empty());
  EXPECT_EQ(log.Count(), 0u);
}

TEST(AddressResolution, NamesResolveThroughTheLookup) {
  FakeResolver fake;
  Address address("gateway.example");
  EXPECT_EQ(address.GetDotNotation(), "192.0.2.7");
  ASSERT_EQ(fake.Forward().size(), 1u);
  EXPECT_EQ(fake.Forward()[0], "gateway.example");
}

TEST(AddressResolution, LocalhostResolvesWithTheSystemResolver) {
  // Answered from the hosts file: no name server is asked.
  zu_test::LogRecorder log;
  EXPECT_EQ(Address("localhost"), Address::GetLoopBackAddress());
  EXPECT_EQ(log.Count(), 0u);
}

TEST(AddressResolution, UnresolvableNameStaysAnyAndIsLogged) {
  FakeResolver fake;
  zu_test::LogRecorder log;

  Address address("no-such-host.invalid");
  EXPECT_EQ(address, Address::GetAnyAddress());
  EXPECT_EQ(address.GetDotNotation(), "0.0.0.0");
  EXPECT_EQ(log.CountContaining("Error setting up internet address of no-such-host.invalid"), 1u);
  EXPECT_EQ(log.CountContaining("ZUNET"), 1u);

  // A failed change does not keep the previous address either.
  Address changed("gateway.example");
  log.Clear();
  EXPECT_FALSE(changed.SetHostName("no-such-host.invalid"));
  EXPECT_EQ(changed, Address::GetAnyAddress());
  EXPECT_EQ(log.CountContaining("Error setting up internet address of no-such-host.invalid"), 1u);
}

TEST(AddressResolution, EmptyNameMeansTheLocalHostName) {
  FakeResolver fake;
  zu_test::LogRecorder log;
  char name[256] = {};
  ASSERT_EQ(gethostname(name, sizeof(name) - 1), 0);

  Address address{std::string()};
  in_addr numeric{};
  if (inet_aton(name, &numeric) != 0) {
    EXPECT_EQ(address, Address(numeric));
  } else {
    ASSERT_EQ(fake.Forward().size(), 1u);
    EXPECT_EQ(fake.Forward()[0], name);
    // The fake knows no such name: the failure names the host that was looked up.
    EXPECT_EQ(address, Address::GetAnyAddress());
    EXPECT_EQ(log.CountContaining(std::string("internet address of ") + name), 1u);
  }
}

TEST(AddressResolution, ReverseLookupGivesTheNameOrTheDottedText) {
  FakeResolver fake;
  EXPECT_EQ(Address("192.0.2.7").GetHostName(), "box.example");
  EXPECT_EQ(Address("192.0.2.8").GetHostName(), "192.0.2.8");
  EXPECT_EQ(fake.Reverse(), 2);
}

TEST(AddressResolution, LookupThatOutlivesItsBoundIsAbandoned) {
  auto gate = std::make_shared<Gate>();
  InstallBlockingLookups(gate);

  in_addr untouched = Dotted("1.2.3.4");
  EXPECT_FALSE(resolver::Resolve("slow.example", untouched, Time::FromMilliSeconds(20)));
  EXPECT_EQ(untouched.s_addr, Dotted("1.2.3.4").s_addr);
  std::string name = "unchanged";
  EXPECT_FALSE(resolver::ReverseResolve(Dotted("192.0.2.1"), name, Time::FromMilliSeconds(20)));
  EXPECT_EQ(name, "unchanged");

  // The abandoned lookups finish later on their own, touching only what they own.
  gate->Release();
  EXPECT_TRUE(zu_test::WaitFor([&gate]() { return gate->finished.load() == 2; }));
  resolver::SetLookups(nullptr, nullptr);
}

TEST(AddressResolution, AddressGivesUpAfterThreeSeconds) {
  auto gate = std::make_shared<Gate>();
  InstallBlockingLookups(gate);
  zu_test::LogRecorder log;

  Address address("never-answered.example");
  EXPECT_EQ(address, Address::GetAnyAddress());
  EXPECT_EQ(log.CountContaining("Error setting up internet address of never-answered.example"), 1u);
  EXPECT_EQ(address.GetHostName(), "0.0.0.0");

  gate->Release();
  EXPECT_TRUE(zu_test::WaitFor([&gate]() { return gate->finished.load() == 2; }));
  resolver::SetLookups(nullptr, nullptr);
}

TEST(AddressValue, ConversionsKeepNetworkOrderInside) {
  EXPECT_EQ(Address(0x7f000001u).GetDotNotation(), "127.0.0.1");
  EXPECT_EQ(Address(0x7f000001u).GetInternetAddress()->s_addr, htonl(0x7f000001u));

  sockaddr_in socketAddress{};
  socketAddress.sin_family = AF_INET;
  socketAddress.sin_port = htons(80);
  socketAddress.sin_addr = Dotted("203.0.113.5");
  EXPECT_EQ(Address(socketAddress).GetDotNotation(), "203.0.113.5");
  Address assigned;
  assigned = 0x0a000001u;
  EXPECT_EQ(assigned.GetDotNotation(), "10.0.0.1");
  assigned = socketAddress;
  EXPECT_EQ(assigned, Address(Dotted("203.0.113.5")));
  assigned.initAddress();
  EXPECT_EQ(assigned, Address());

  EXPECT_EQ(Address::GetLoopBackAddress().GetDotNotation(), "127.0.0.1");
  EXPECT_EQ(Address::GetBroadcastAddress().GetDotNotation(), "255.255.255.255");
  EXPECT_EQ(Address::GetAnyAddress().GetDotNotation(), "0.0.0.0");
}

TEST(AddressValue, OrderFollowsTheStoredValue) {
  const Address a("2.0.0.1");
  const Address b("1.0.0.2");
  if (htonl(1) != 1) {
    // Little-endian: the stored value of 2.0.0.1 is 0x01000002, of 1.0.0.2 0x02000001.
    EXPECT_TRUE(a < b);
    EXPECT_FALSE(b < a);
  } else {
    EXPECT_TRUE(b < a);
  }
  EXPECT_TRUE(a != b);
  EXPECT_FALSE(a == b);
  EXPECT_TRUE(a == Address(a));

  std::set<Address> distinct{a, b, Address("2.0.0.1")};
  EXPECT_EQ(distinct.size(), 2u);
}

TEST(NetworkObjects, LiveCountFollowsAddressesAndSockets) {
  using zu::net::imp::Base;
  const unsigned int before = Base::GetLiveCount();
  {
    Address first("127.0.0.1");
    Address copy(first);
    Address assigned;
    assigned = first;
    EXPECT_EQ(Base::GetLiveCount(), before + 3);
    EXPECT_TRUE(Base::IsNetworkInUse());
    zu::net::ReadWriteSocketPtr listener =
        zu::net::factory::CreateTcpListenSocket(0, 1, Address::GetLoopBackAddress());
    ASSERT_TRUE(listener);
    EXPECT_EQ(Base::GetLiveCount(), before + 4);
  }
  EXPECT_EQ(Base::GetLiveCount(), before);
  if (before == 0) {
    EXPECT_FALSE(Base::IsNetworkInUse());
  }
}

}  // namespace

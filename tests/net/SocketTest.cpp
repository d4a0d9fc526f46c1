#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "NetTestSupport.h"
#include "multi_threading/TestSupport.h"
#include "net/Factory.h"
#include "net/imp/Connect.h"
#include "output/LogRecorder.h"

namespace {

using zu::Time;
using zu::net::Address;
using zu::net::ReadWriteSocketPtr;
using zu_test::ConnectedPair;
using zu_test::MakeConnectedPair;
using zu_test::WaitFor;

size_t PendingBytes(const ReadWriteSocketPtr& socket) {
  int pending = 0;
  if (::ioctl(socket->GetDescriptor(), FIONREAD, &pending) != 0)
    return 0;
  return static_cast<size_t>(pending);
}

int OpenDescriptorCount() {
  int count = 0;
  DIR* directory = ::opendir("/proc/self/fd");
  if (directory == nullptr)
    return -1;
  while (::readdir(directory) != nullptr)
    ++count;
  ::closedir(directory);
  return count;
}

// A port on 127.0.0.1 that nobody listens on (it was just released).
unsigned short ClosedPort() {
  ReadWriteSocketPtr listener =
      zu::net::factory::CreateTcpListenSocket(0, 1, Address::GetLoopBackAddress());
  return listener ? zu_test::LocalPort(listener->GetDescriptor()) : 0;
}

TEST(StreamSocket, BytesTravelBothWaysAndAcceptNamesThePeer) {
  const Address loopback = Address::GetLoopBackAddress();
  ReadWriteSocketPtr listener = zu::net::factory::CreateTcpListenSocket(0, 4, loopback);
  ASSERT_TRUE(listener);
  ReadWriteSocketPtr client = zu::net::factory::Connect(
      loopback, zu_test::LocalPort(listener->GetDescriptor()), zu::net::TCP);
  ASSERT_TRUE(client);
  Address from;
  unsigned short port = 0;
  ReadWriteSocketPtr accepted = zu::net::factory::Accept(listener, from, port);
  ASSERT_TRUE(accepted);
  EXPECT_EQ(from, loopback);
  EXPECT_EQ(port, zu_test::LocalPort(client->GetDescriptor()));

  const std::string request = "GET / HTTP/1.1\r\n\r\n";
  EXPECT_EQ(client->SendBytes(request.data(), request.size()), request.size());
  char buffer[64] = {};
  EXPECT_EQ(accepted->ReceiveBytes(buffer, request.size(), Time::FromSeconds(30)), request.size());
  EXPECT_EQ(std::string(buffer, request.size()), request);

  // A large block arrives whole, whatever the pieces the system cuts it into.
  std::string block(1 << 20, '\0');
  for (size_t i = 0; i < block.size(); ++i)
    block[i] = static_cast<char>(i * 7);
  std::thread sender(
      [&]() { EXPECT_EQ(accepted->SendBytes(block.data(), block.size()), block.size()); });
  std::string received(block.size(), '\0');
  EXPECT_EQ(client->ReceiveBytes(&received[0], received.size(), Time::FromSeconds(30)),
            block.size());
  sender.join();
  EXPECT_TRUE(received == block);
}

TEST(StreamSocket, PeerCloseEndsTheStreamQuietly) {
  ConnectedPair pair = MakeConnectedPair();
  ASSERT_TRUE(pair.client && pair.accepted);
  zu_test::LogRecorder log;

  pair.accepted->Close();
  EXPECT_FALSE(pair.accepted->IsValid());
  EXPECT_EQ(pair.accepted->GetDescriptor(), -1);
  char buffer[16];
  EXPECT_EQ(pair.client->ReceiveBytes(buffer, sizeof(buffer)), 0u);
  EXPECT_FALSE(pair.client->IsValid());
  EXPECT_EQ(log.Count(), 0u);

  // Closed for good: every transfer is 0, closing again is harmless.
  EXPECT_EQ(pair.client->ReceiveBytes(buffer, sizeof(buffer)), 0u);
  EXPECT_EQ(pair.client->ReceiveBytes(buffer, sizeof(buffer), Time::FromSeconds(1)), 0u);
  EXPECT_EQ(pair.client->SendBytes("x", 1), 0u);
  EXPECT_TRUE(pair.client->Close());
  EXPECT_EQ(log.Count(), 0u);
}

TEST(StreamSocket, EmptyTransfersDoNothing) {
  ConnectedPair pair = MakeConnectedPair();
  ASSERT_TRUE(pair.client && pair.accepted);
  zu_test::LogRecorder log;
  char buffer[4];
  EXPECT_EQ(pair.client->SendBytes("", 0), 0u);
  EXPECT_EQ(pair.client->ReceiveBytes(buffer, 0), 0u);
  EXPECT_EQ(pair.client->ReceiveBytes(buffer, 0, Time::FromSeconds(1)), 0u);
  EXPECT_EQ(pair.client->ReceiveBytes(nullptr, 4, Time::FromSeconds(1)), 0u);
  EXPECT_TRUE(pair.client->IsValid());
  EXPECT_EQ(PendingBytes(pair.accepted), 0u);
  EXPECT_EQ(log.Count(), 0u);
}

TEST(TimedReceive, AssemblesDataArrivingInTwoParts) {
  ConnectedPair pair = MakeConnectedPair();
  ASSERT_TRUE(pair.client && pair.accepted);
  ASSERT_EQ(pair.client->SendBytes("hello", 5), 5u);
  ASSERT_TRUE(WaitFor([&]() { return PendingBytes(pair.accepted) == 5; }));

  char buffer[11] = {};
  size_t received = 0;
  std::thread reader(
      [&]() { received = pair.accepted->ReceiveBytes(buffer, 10, Time::FromSeconds(60)); });
  // The second part is sent only once the first has been taken, so two reads are needed.
  ASSERT_TRUE(WaitFor([&]() { return PendingBytes(pair.accepted) == 0; }));
  ASSERT_EQ(pair.client->SendBytes(" world", 6), 6u);
  reader.join();
  EXPECT_EQ(received, 10u);
  EXPECT_STREQ(buffer, "hello worl");
  EXPECT_EQ(PendingBytes(pair.accepted), 1u);
}

TEST(TimedReceive, NothingArrivingTimesOutWithALogLine) {
  ConnectedPair pair = MakeConnectedPair();
  ASSERT_TRUE(pair.client && pair.accepted);
  zu_test::LogRecorder log;
  char buffer[8];
  EXPECT_EQ(pair.client->ReceiveBytes(buffer, sizeof(buffer), Time::FromMilliSeconds(30)), 0u);
  EXPECT_EQ(log.CountContaining("SocketImp::ReceiveBytes TIMEOUT!!!"), 1u);
  EXPECT_EQ(log.CountContaining("NET"), 1u);
  EXPECT_TRUE(pair.client->IsValid());
}

TEST(TimedReceive, PartialDataIsKeptWhenTheTimeRunsOut) {
  ConnectedPair pair = MakeConnectedPair();
  ASSERT_TRUE(pair.client && pair.accepted);
  ASSERT_EQ(pair.client->SendBytes("abc", 3), 3u);
  zu_test::LogRecorder log;
  char buffer[10] = {};
  EXPECT_EQ(pair.accepted->ReceiveBytes(buffer, 10, Time::FromMilliSeconds(50)), 3u);
  EXPECT_STREQ(buffer, "abc");
  EXPECT_EQ(log.CountContaining("SocketImp::ReceiveBytes TIMEOUT!!!"), 1u);
}

TEST(TimedReceive, EndOfStreamReturnsWhatCameBefore) {
  ConnectedPair pair = MakeConnectedPair();
  ASSERT_TRUE(pair.client && pair.accepted);
  ASSERT_EQ(pair.client->SendBytes("abc", 3), 3u);
  pair.client->Close();
  zu_test::LogRecorder log;
  char buffer[10] = {};
  EXPECT_EQ(pair.accepted->ReceiveBytes(buffer, 10, Time::FromSeconds(30)), 3u);
  EXPECT_STREQ(buffer, "abc");
  EXPECT_FALSE(pair.accepted->IsValid());
  EXPECT_EQ(log.Count(), 0u);
}

TEST(Connect, ClosedPortFailsAtOnceWithoutLogAndLeavesNothingOpen) {
  const unsigned short port = ClosedPort();
  ASSERT_NE(port, 0);
  zu_test::LogRecorder log;
  const int before = OpenDescriptorCount();
  EXPECT_FALSE(zu::net::factory::Connect(Address::GetLoopBackAddress(), port, zu::net::TCP));
  EXPECT_EQ(OpenDescriptorCount(), before);
  EXPECT_EQ(log.Count(), 0u);
}

TEST(Connect, ConnectedSocketIsBlockingAgain) {
  ConnectedPair pair = MakeConnectedPair();
  ASSERT_TRUE(pair.client && pair.accepted);
  const int flags = ::fcntl(pair.client->GetDescriptor(), F_GETFL);
  EXPECT_EQ(flags & O_NONBLOCK, 0);
  // Not inherited by programs the host starts.
  EXPECT_NE(::fcntl(pair.client->GetDescriptor(), F_GETFD) & FD_CLOEXEC, 0);
  EXPECT_NE(::fcntl(pair.accepted->GetDescriptor(), F_GETFD) & FD_CLOEXEC, 0);
}

TEST(Connect, UnansweredConnectionIsGivenUp) {
  // A listener whose queue is full leaves further connection requests unanswered.
  const Address loopback = Address::GetLoopBackAddress();
  ReadWriteSocketPtr listener = zu::net::factory::CreateTcpListenSocket(0, 0, loopback);
  ASSERT_TRUE(listener);
  const unsigned short port = zu_test::LocalPort(listener->GetDescriptor());
  std::vector<ReadWriteSocketPtr> queued;
  ReadWriteSocketPtr attempt;
  for (int i = 0; i < 64; ++i) {
    attempt =
        zu::net::imp::ConnectWithin(loopback, port, zu::net::TCP, Time::FromMilliSeconds(200));
    if (!attempt)
      break;
    queued.push_back(attempt);
  }
  if (attempt)
    GTEST_SKIP() << "this system answers every connection request";
  EXPECT_FALSE(attempt);
}

TEST(Sending, ToAClosedPeerFailsWithoutSigpipe) {
  // The default action of SIGPIPE would end this process.
  struct sigaction previous {};
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  ::sigaction(SIGPIPE, &fallback, &previous);

  ConnectedPair pair = MakeConnectedPair();
  ASSERT_TRUE(pair.client && pair.accepted);
  pair.accepted.reset();  // the peer goes away
  zu_test::LogRecorder log;

  const std::string data(4096, 'x');
  // The first sends may still be accepted by the system; the reset makes a later one fail.
  EXPECT_TRUE(WaitFor([&]() { return pair.client->SendBytes(data.data(), data.size()) == 0; }));
  EXPECT_FALSE(pair.client->IsValid());
  EXPECT_EQ(log.CountContaining("net::imp::SocketImp::SendBytes, send failed"), 1u);
  ::sigaction(SIGPIPE, &previous, nullptr);
}

std::atomic<int> interruptions{0};
void CountInterruption(int) {
  ++interruptions;
}

// The state letter of a thread of this process ('S' while it waits in a system call).
char ThreadState(pid_t tid) {
  std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
  std::string line;
  std::getline(stat, line);
  const size_t end = line.rfind(')');
  return end == std::string::npos || end + 2 >= line.size() ? '?' : line[end + 2];
}

TEST(Receiving, InterruptedReadIsRetried) {
  struct sigaction previous {};
  struct sigaction handler {};
  handler.sa_handler = &CountInterruption;
  handler.sa_flags = 0;  // no SA_RESTART: a waiting read returns EINTR
  sigemptyset(&handler.sa_mask);
  ASSERT_EQ(::sigaction(SIGUSR1, &handler, &previous), 0);

  ConnectedPair pair = MakeConnectedPair();
  ASSERT_TRUE(pair.client && pair.accepted);
  zu_test::LogRecorder log;
  std::atomic<pid_t> readerTid{0};
  char buffer[5] = {};
  size_t untimed = 0;
  size_t timed = 0;
  std::thread reader([&]() {
    readerTid = static_cast<pid_t>(::syscall(SYS_gettid));
    untimed = pair.accepted->ReceiveBytes(buffer, 2);
    timed = pair.accepted->ReceiveBytes(buffer + 2, 2, Time::FromSeconds(60));
  });
  const pthread_t handle = reader.native_handle();

  for (int round = 0; round < 2; ++round) {
    // Interrupt the reader a few times while it waits, then give it its data.
    for (int i = 0; i < 3; ++i) {
      const int seen = interruptions.load();
      ASSERT_TRUE(WaitFor([&]() { return readerTid != 0 && ThreadState(readerTid) == 'S'; }));
      ::pthread_kill(handle, SIGUSR1);
      ASSERT_TRUE(WaitFor([&]() { return interruptions.load() > seen; }));
    }
    ASSERT_EQ(pair.client->SendBytes(round == 0 ? "ab" : "cd", 2), 2u);
    if (round == 0) {
      ASSERT_TRUE(WaitFor([&]() { return PendingBytes(pair.accepted) == 0; }));
    }
  }
  reader.join();
  ::sigaction(SIGUSR1, &previous, nullptr);

  EXPECT_EQ(untimed, 2u);
  EXPECT_EQ(timed, 2u);
  EXPECT_STREQ(buffer, "abcd");
  EXPECT_TRUE(pair.accepted->IsValid());
  EXPECT_EQ(log.Count(), 0u);
}

TEST(ListenSocket, PortInUseIsLoggedAndLeavesNothingOpen) {
  const Address loopback = Address::GetLoopBackAddress();
  ReadWriteSocketPtr first = zu::net::factory::CreateTcpListenSocket(0, 4, loopback);
  ASSERT_TRUE(first);
  zu_test::LogRecorder log;
  const int before = OpenDescriptorCount();
  EXPECT_FALSE(zu::net::factory::CreateTcpListenSocket(zu_test::LocalPort(first->GetDescriptor()),
                                                       4, loopback));
  EXPECT_EQ(OpenDescriptorCount(), before);
  EXPECT_EQ(log.CountContaining("zu::net::factory::CreateListenSocket, bind failed"), 1u);
}

TEST(ListenSocket, AcceptWithoutAListenerIsLogged) {
  zu_test::LogRecorder log;
  EXPECT_FALSE(zu::net::factory::Accept(zu::net::SocketPtr()));
  ConnectedPair pair = MakeConnectedPair();
  ASSERT_TRUE(pair.client);
  EXPECT_FALSE(zu::net::factory::Accept(pair.client));  // connected, not listening
  EXPECT_EQ(log.CountContaining("zu::net::factory::Accept failed"), 2u);
}

TEST(Datagram, BroadcastSocketReachesAListenerAndNamesTheSender) {
  const Address loopback = Address::GetLoopBackAddress();
  zu::net::BroadcastReadSocketPtr listener =
      zu::net::factory::CreateUdpListenSocket(0, 0, loopback);
  ASSERT_TRUE(listener);
  zu::net::BroadcastWriteSocketPtr sender = zu::net::factory::CreateUdpBroadcastSocket();
  ASSERT_TRUE(sender);
  int broadcast = 0;
  socklen_t length = sizeof(broadcast);
  ASSERT_EQ(::getsockopt(sender->GetDescriptor(), SOL_SOCKET, SO_BROADCAST, &broadcast, &length),
            0);
  EXPECT_NE(broadcast, 0);

  const unsigned short port = zu_test::LocalPort(listener->GetDescriptor());
  EXPECT_EQ(sender->SendBytesTo("datagram", 8, loopback, port), 8u);
  char buffer[16] = {};
  Address from("203.0.113.1");
  EXPECT_EQ(listener->ReceiveBytesFrom(buffer, sizeof(buffer), from), 8u);
  EXPECT_STREQ(buffer, "datagram");
  EXPECT_EQ(from, loopback);

  // Nothing to read into: the sender is reset all the same.
  EXPECT_EQ(listener->ReceiveBytesFrom(buffer, 0, from), 0u);
  EXPECT_EQ(from, Address::GetAnyAddress());
  EXPECT_TRUE(listener->IsValid());
}

TEST(Datagram, ConnectedUdpSocketSendsAndReceives) {
  const Address loopback = Address::GetLoopBackAddress();
  zu::net::BroadcastReadSocketPtr listener =
      zu::net::factory::CreateUdpListenSocket(0, 0, loopback);
  ASSERT_TRUE(listener);
  ReadWriteSocketPtr client = zu::net::factory::Connect(
      loopback, zu_test::LocalPort(listener->GetDescriptor()), zu::net::UDP);
  ASSERT_TRUE(client);
  EXPECT_EQ(client->SendBytes("ping", 4), 4u);
  char buffer[8] = {};
  Address from;
  EXPECT_EQ(listener->ReceiveBytesFrom(buffer, sizeof(buffer), from), 4u);
  EXPECT_STREQ(buffer, "ping");
}

}  // namespace

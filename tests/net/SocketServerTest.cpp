#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "NetTestSupport.h"
#include "multi_threading/TestSupport.h"
#include "net/Factory.h"
#include "net/SocketServer.h"
#include "net/imp/SocketImp.h"
#include "output/LogRecorder.h"

namespace {

using zu::SharedPtr;
using zu::net::ReadWriteSocketPtr;
using zu::net::SocketServer;
using zu::net::SocketServerPtr;
using zu_test::ConnectedPair;
using zu_test::MakeConnectedPair;
using zu_test::WaitFor;

// Records what the server hands over. By default it reads with the socket's own read, as the
// page reader does; a peeking receiver takes what is there without ever waiting, so that two
// receivers of one socket can both be called in one pass.
class Recorder : public SocketServer::DataReceiver {
 public:
  explicit Recorder(bool peeking = false) : peeking_(peeking) {}

  bool OnDataReceived(ReadWriteSocketPtr socket) override {
    char buffer[4096];
    size_t count = 0;
    if (peeking_) {
      const ssize_t got = ::recv(socket->GetDescriptor(), buffer, sizeof(buffer), MSG_DONTWAIT);
      count = got > 0 ? static_cast<size_t>(got) : 0;
    } else {
      count = socket->ReceiveBytes(buffer, sizeof(buffer));
    }
    std::lock_guard<std::mutex> lock(mutex_);
    ++calls_;
    thread_ = std::this_thread::get_id();
    data_.append(buffer, count);
    if (!peeking_ && count == 0)
      ++ends_;
    return count > 0;
  }

  int Calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  int Ends() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ends_;
  }
  std::string Data() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return data_;
  }
  std::thread::id Thread() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return thread_;
  }
  void Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_ = 0;
    data_.clear();
  }

 private:
  const bool peeking_;
  mutable std::mutex mutex_;
  int calls_ = 0;
  int ends_ = 0;
  std::string data_;
  std::thread::id thread_;
};

SocketServerPtr StartedServer() {
  SocketServerPtr server = zu::net::factory::CreateSocketServer();
  if (server && !server->Start(true))
    server.reset();
  return server;
}

// Start(true) goes through the server's queue behind every earlier request and returns once
// it is handled: afterwards all earlier additions and removals are in effect.
void Barrier(const SocketServerPtr& server) {
  ASSERT_TRUE(server->Start(true));
}

TEST(SocketServer, HandsReadableSocketsToTheirReceiverOnItsThread) {
  SocketServerPtr server = StartedServer();
  ASSERT_TRUE(server);
  ConnectedPair early = MakeConnectedPair();
  ConnectedPair late = MakeConnectedPair();
  ASSERT_TRUE(early.accepted && late.accepted);
  auto earlyRecorder = std::make_shared<Recorder>();
  auto lateRecorder = std::make_shared<Recorder>();

  // Data already waiting when the socket is added to the idle server.
  ASSERT_EQ(early.client->SendBytes("first", 5), 5u);
  ASSERT_TRUE(server->AddSocket(early.accepted, earlyRecorder));
  EXPECT_TRUE(WaitFor([&]() { return earlyRecorder->Data() == "first"; }));
  EXPECT_NE(earlyRecorder->Thread(), std::this_thread::get_id());

  // Data arriving after the socket was added.
  ASSERT_TRUE(server->AddSocket(late.accepted, lateRecorder));
  Barrier(server);
  ASSERT_EQ(late.client->SendBytes("second", 6), 6u);
  EXPECT_TRUE(WaitFor([&]() { return lateRecorder->Data() == "second"; }));
  ASSERT_EQ(early.client->SendBytes("+more", 5), 5u);
  EXPECT_TRUE(WaitFor([&]() { return earlyRecorder->Data() == "first+more"; }));
  EXPECT_EQ(lateRecorder->Data(), "second");
}

TEST(SocketServer, ServesManyConnectionsEachToItsOwnReceiver) {
  SocketServerPtr server = StartedServer();
  ASSERT_TRUE(server);
  const int count = 40;
  std::vector<ConnectedPair> pairs;
  std::vector<SharedPtr<Recorder>> recorders;
  for (int i = 0; i < count; ++i) {
    pairs.push_back(MakeConnectedPair());
    ASSERT_TRUE(pairs.back().accepted);
    recorders.push_back(std::make_shared<Recorder>());
    ASSERT_TRUE(server->AddSocket(pairs.back().accepted, recorders.back()));
  }
  for (int i = count - 1; i >= 0; --i) {
    const std::string text = "connection " + std::to_string(i);
    ASSERT_EQ(pairs[i].client->SendBytes(text.data(), text.size()), text.size());
  }
  for (int i = 0; i < count; ++i) {
    EXPECT_TRUE(WaitFor([&]() {
      return recorders[i]->Data() == "connection " + std::to_string(i);
    })) << i;
  }
}

TEST(SocketServer, RegistrationsAreKeptInOrderAndRemovedFirstFirst) {
  SocketServerPtr server = StartedServer();
  ASSERT_TRUE(server);
  ConnectedPair pair = MakeConnectedPair();
  ASSERT_TRUE(pair.accepted);
  auto first = std::make_shared<Recorder>(true);
  auto second = std::make_shared<Recorder>(true);

  ASSERT_TRUE(server->AddSocket(pair.accepted, first));
  ASSERT_TRUE(server->AddSocket(pair.accepted, second));
  // Both registrations must be in place before the byte arrives: a pass that still watched
  // only the first would hand it to the first alone.
  Barrier(server);
  ASSERT_EQ(pair.client->SendBytes("x", 1), 1u);
  // Both registrations see the readable socket.
  EXPECT_TRUE(WaitFor([&]() { return first->Calls() > 0 && second->Calls() > 0; }));

  // Removing a socket that is not registered changes nothing.
  ConnectedPair other = MakeConnectedPair();
  ASSERT_TRUE(other.accepted);
  ASSERT_TRUE(server->RemoveSocket(other.accepted));
  // One removal erases only the first registration.
  ASSERT_TRUE(server->RemoveSocket(pair.accepted));
  Barrier(server);
  first->Reset();
  second->Reset();
  ASSERT_EQ(pair.client->SendBytes("y", 1), 1u);
  EXPECT_TRUE(WaitFor([&]() { return second->Data().find('y') != std::string::npos; }));
  EXPECT_EQ(first->Calls(), 0);

  ASSERT_TRUE(server->RemoveSocket(pair.accepted));
  Barrier(server);
  second->Reset();
  ASSERT_EQ(pair.client->SendBytes("z", 1), 1u);
  // A socket still registered elsewhere proves that passes go on without the removed one.
  auto witness = std::make_shared<Recorder>();
  ASSERT_TRUE(server->AddSocket(other.accepted, witness));
  ASSERT_EQ(other.client->SendBytes("w", 1), 1u);
  EXPECT_TRUE(WaitFor([&]() { return witness->Data() == "w"; }));
  EXPECT_EQ(second->Calls(), 0);
}

TEST(SocketServer, PeerCloseReachesTheReceiverOnceThenTheSocketIsSilent) {
  SocketServerPtr server = StartedServer();
  ASSERT_TRUE(server);
  ConnectedPair pair = MakeConnectedPair();
  ConnectedPair other = MakeConnectedPair();
  ASSERT_TRUE(pair.accepted && other.accepted);
  auto recorder = std::make_shared<Recorder>();
  auto witness = std::make_shared<Recorder>();
  ASSERT_TRUE(server->AddSocket(pair.accepted, recorder));
  ASSERT_TRUE(server->AddSocket(other.accepted, witness));
  zu_test::LogRecorder log;

  pair.client->Close();
  EXPECT_TRUE(WaitFor([&]() { return recorder->Ends() == 1; }));
  EXPECT_FALSE(pair.accepted->IsValid());
  const int calls = recorder->Calls();

  // Later passes leave the closed socket out while serving the others.
  for (const char* text : {"a", "b"}) {
    ASSERT_EQ(other.client->SendBytes(text, 1), 1u);
    EXPECT_TRUE(WaitFor([&]() { return witness->Data().find(text) != std::string::npos; }));
  }
  EXPECT_EQ(recorder->Calls(), calls);
  EXPECT_EQ(log.Count(), 0u);
}

TEST(SocketServer, ServesDescriptorsAbove1024) {
  rlimit limit{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
  if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < 1200)
    GTEST_SKIP() << "the descriptor limit is too low";
  limit.rlim_cur = limit.rlim_max;
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &limit), 0);

  SocketServerPtr server = StartedServer();
  ASSERT_TRUE(server);
  ConnectedPair pair = MakeConnectedPair();
  ConnectedPair low = MakeConnectedPair();
  ASSERT_TRUE(pair.accepted && low.accepted);
  const int high = 1100;
  ASSERT_EQ(::dup2(pair.accepted->GetDescriptor(), high), high);
  pair.accepted->Close();
  ReadWriteSocketPtr highSocket = std::make_shared<zu::net::imp::SocketImp>(high);

  auto highRecorder = std::make_shared<Recorder>();
  auto lowRecorder = std::make_shared<Recorder>();
  ASSERT_TRUE(server->AddSocket(low.accepted, lowRecorder));
  ASSERT_TRUE(server->AddSocket(highSocket, highRecorder));
  ASSERT_EQ(pair.client->SendBytes("high", 4), 4u);
  EXPECT_TRUE(WaitFor([&]() { return highRecorder->Data() == "high"; }));
  ASSERT_EQ(low.client->SendBytes("low", 3), 3u);
  EXPECT_TRUE(WaitFor([&]() { return lowRecorder->Data() == "low"; }));
  EXPECT_EQ(highRecorder->Data(), "high");
}

TEST(SocketServer, StoppedServerRefusesRequests) {
  SocketServerPtr server = StartedServer();
  ASSERT_TRUE(server);
  ConnectedPair pair = MakeConnectedPair();
  ASSERT_TRUE(pair.accepted);
  auto recorder = std::make_shared<Recorder>();

  server->Stop(false);
  // No longer watching: a start would wait for an answer that never comes.
  EXPECT_FALSE(server->Start(true));
  EXPECT_FALSE(server->AddSocket(pair.accepted, recorder));
  server->Stop(true);
  EXPECT_FALSE(server->Start(false));
  EXPECT_FALSE(server->AddSocket(pair.accepted, recorder));
  EXPECT_FALSE(server->RemoveSocket(pair.accepted));
  server->Stop(true);  // again: nothing to do
  EXPECT_EQ(recorder.use_count(), 1);
}

TEST(SocketServer, IncompleteRegistrationsAreRefused) {
  SocketServerPtr server = StartedServer();
  ASSERT_TRUE(server);
  ConnectedPair pair = MakeConnectedPair();
  ASSERT_TRUE(pair.accepted);
  zu_test::LogRecorder log;
  EXPECT_FALSE(server->AddSocket(pair.accepted, SocketServer::DataReceiverPtr()));
  EXPECT_FALSE(server->AddSocket(ReadWriteSocketPtr(), std::make_shared<Recorder>()));
  EXPECT_EQ(log.CountContaining("AddSocket needs a socket and a receiver"), 2u);
}

TEST(SocketServer, DestructionReleasesEveryRegistration) {
  ConnectedPair pair = MakeConnectedPair();
  ASSERT_TRUE(pair.accepted);
  auto recorder = std::make_shared<Recorder>();
  zu::WeakPtr<Recorder> watched = recorder;
  {
    SocketServerPtr server = StartedServer();
    ASSERT_TRUE(server);
    ASSERT_TRUE(server->AddSocket(pair.accepted, recorder));
    Barrier(server);
    recorder.reset();
    EXPECT_FALSE(watched.expired());  // the server keeps its receiver
  }
  EXPECT_TRUE(watched.expired());
  EXPECT_EQ(pair.accepted.use_count(), 1);

  // A server that never started ends just as well.
  zu::net::factory::CreateSocketServer().reset();
}

// Holds the last reference to its server and drops it while being called.
class LastOwner : public SocketServer::DataReceiver {
 public:
  bool OnDataReceived(ReadWriteSocketPtr socket) override {
    char buffer[16];
    socket->ReceiveBytes(buffer, sizeof(buffer));
    server.reset();
    released = true;
    return false;
  }
  SocketServerPtr server;
  std::atomic<bool> released{false};
};

TEST(SocketServer, ReceiverMayReleaseTheLastReferenceToItsServer) {
  ConnectedPair pair = MakeConnectedPair();
  ASSERT_TRUE(pair.accepted);
  auto owner = std::make_shared<LastOwner>();
  owner->server = StartedServer();
  ASSERT_TRUE(owner->server);
  zu::WeakPtr<SocketServer> watched = owner->server;
  ASSERT_TRUE(owner->server->AddSocket(pair.accepted, owner));
  ASSERT_EQ(pair.client->SendBytes("bye", 3), 3u);
  // From here only the server's own thread holds it; the receiver drops it there.
  EXPECT_TRUE(WaitFor([&]() { return owner->released.load(); }));
  EXPECT_TRUE(WaitFor([&]() { return watched.expired(); }));
  // The registration went with the server.
  EXPECT_TRUE(WaitFor([&]() { return pair.accepted.use_count() == 1; }));
}

class Throwing : public SocketServer::DataReceiver {
 public:
  bool OnDataReceived(ReadWriteSocketPtr socket) override {
    char buffer[16];
    socket->ReceiveBytes(buffer, sizeof(buffer));
    throw std::runtime_error("receiver broke");
  }
};

TEST(SocketServer, ThrowingReceiverDoesNotEndTheServer) {
  SocketServerPtr server = StartedServer();
  ASSERT_TRUE(server);
  ConnectedPair broken = MakeConnectedPair();
  ConnectedPair healthy = MakeConnectedPair();
  ASSERT_TRUE(broken.accepted && healthy.accepted);
  auto recorder = std::make_shared<Recorder>();
  zu_test::LogRecorder log;
  ASSERT_TRUE(server->AddSocket(broken.accepted, std::make_shared<Throwing>()));
  ASSERT_EQ(broken.client->SendBytes("x", 1), 1u);
  EXPECT_TRUE(WaitFor([&]() { return log.CountContaining("receiver broke") > 0; }));

  ASSERT_TRUE(server->AddSocket(healthy.accepted, recorder));
  ASSERT_EQ(healthy.client->SendBytes("ok", 2), 2u);
  EXPECT_TRUE(WaitFor([&]() { return recorder->Data() == "ok"; }));
}

TEST(SocketServer, RequestsFromManyThreadsAllTakeEffect) {
  SocketServerPtr server = StartedServer();
  ASSERT_TRUE(server);
  const int threads = 4;
  const int perThread = 10;
  std::vector<ConnectedPair> pairs(threads * perThread);
  for (ConnectedPair& pair : pairs) {
    pair = MakeConnectedPair();
    ASSERT_TRUE(pair.accepted);
  }
  auto recorder = std::make_shared<Recorder>();
  std::vector<std::thread> posters;
  for (int t = 0; t < threads; ++t) {
    posters.emplace_back([&, t]() {
      for (int i = 0; i < perThread; ++i) {
        ReadWriteSocketPtr socket = pairs[t * perThread + i].accepted;
        // Added, removed and added again: exactly one registration stays.
        EXPECT_TRUE(server->AddSocket(socket, recorder));
        EXPECT_TRUE(server->RemoveSocket(socket));
        EXPECT_TRUE(server->AddSocket(socket, recorder));
      }
    });
  }
  for (std::thread& poster : posters)
    poster.join();
  Barrier(server);
  for (ConnectedPair& pair : pairs)
    ASSERT_EQ(pair.client->SendBytes("z", 1), 1u);
  EXPECT_TRUE(WaitFor([&]() { return recorder->Data().size() == pairs.size(); }));
  for (ConnectedPair& pair : pairs)
    EXPECT_EQ(pair.accepted.use_count(), 2);  // ours and the one registration
}

// Start(true) waits for the server thread's answer; a stop may overtake it at any moment (the
// start dropped at the end of the server's loop, cleared from the ended thread's queue, or
// refused by a thread already gone). Every one of those must still answer the caller.
TEST(SocketServer, StartRacingStopAlwaysReturns) {
  zu_test::LogRecorder log;  // refused posts are logged; the race decides how many
  for (int round = 0; round < 1000; ++round) {
    SocketServerPtr server = zu::net::factory::CreateSocketServer();
    ASSERT_TRUE(server);
    auto starting = std::make_shared<std::atomic<bool>>(false);
    auto started = std::make_shared<std::promise<bool>>();
    std::future<bool> result = started->get_future();
    std::thread starter([server, started, starting]() {
      starting->store(true);
      started->set_value(server->Start(true));
    });
    // Stop as close as possible to the start, so that every order of the two occurs.
    while (!starting->load()) {
    }
    server->Stop(round % 2 == 0);
    if (result.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
      starter.detach();  // still waiting for an answer that never comes
      FAIL() << "Start(true) did not return in round " << round;
    }
    starter.join();
  }
}

}  // namespace

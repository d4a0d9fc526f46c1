// Latency of the socket server: how long a socket added to an idle server waits for its
// first callback, and a request/response round trip through a server on loopback.

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <mutex>

#include "net/Factory.h"
#include "net/SocketServer.h"
#include "tests/net/NetTestSupport.h"

namespace {

using zu::net::ReadWriteSocketPtr;
using zu::net::SocketServer;

// Counts callbacks and lets the benchmark wait for the next one.
class Signalling : public SocketServer::DataReceiver {
 public:
  explicit Signalling(bool echo) : echo_(echo) {}

  bool OnDataReceived(ReadWriteSocketPtr socket) override {
    char buffer[256];
    const size_t count = socket->ReceiveBytes(buffer, sizeof(buffer));
    if (echo_ && count > 0)
      socket->SendBytes(buffer, count);
    std::lock_guard<std::mutex> lock(mutex_);
    ++calls_;
    changed_.notify_all();
    return count > 0;
  }

  unsigned long Calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  void WaitBeyond(unsigned long calls) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&]() { return calls_ > calls; });
  }

 private:
  const bool echo_;
  std::mutex mutex_;
  std::condition_variable changed_;
  unsigned long calls_ = 0;
};

// Data is waiting on a connection; the time runs from AddSocket to the callback. The server
// has no other socket, so before the socket arrives it sits in its wait.
void BM_AddToFirstCallbackOnIdleServer(benchmark::State& state) {
  zu::net::SocketServerPtr server = zu::net::factory::CreateSocketServer();
  zu_test::ConnectedPair pair = zu_test::MakeConnectedPair();
  if (!server || !server->Start(true) || !pair.accepted) {
    state.SkipWithError("no server or connection");
    return;
  }
  auto receiver = std::make_shared<Signalling>(false);
  for (auto _ : state) {
    state.PauseTiming();
    pair.client->SendBytes("x", 1);
    const unsigned long calls = receiver->Calls();
    state.ResumeTiming();
    server->AddSocket(pair.accepted, receiver);
    receiver->WaitBeyond(calls);
    state.PauseTiming();
    server->RemoveSocket(pair.accepted);
    server->Start(true);  // the removal is in effect: the server is idle again
    state.ResumeTiming();
  }
}
BENCHMARK(BM_AddToFirstCallbackOnIdleServer)->UseRealTime()->Unit(benchmark::kMicrosecond);

// A client sends a request; the server's receiver answers on the same connection.
void BM_RequestResponseRoundTrip(benchmark::State& state) {
  zu::net::SocketServerPtr server = zu::net::factory::CreateSocketServer();
  zu_test::ConnectedPair pair = zu_test::MakeConnectedPair();
  if (!server || !server->Start(true) || !pair.accepted) {
    state.SkipWithError("no server or connection");
    return;
  }
  auto receiver = std::make_shared<Signalling>(true);
  server->AddSocket(pair.accepted, receiver);
  const char request[] = "GET / HTTP/1.1\r\n\r\n";
  char response[sizeof(request)];
  for (auto _ : state) {
    pair.client->SendBytes(request, sizeof(request));
    if (pair.client->ReceiveBytes(response, sizeof(request), zu::Time::FromSeconds(10)) !=
        sizeof(request)) {
      state.SkipWithError("no answer");
      break;
    }
  }
}
BENCHMARK(BM_RequestResponseRoundTrip)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

// Sequential requests of the page reader to a local cpp-httplib server: small pages, a large
// page and a gzip-compressed document, with cpp-httplib's own client on the same pages as a
// yardstick. Each request is a new connection; the time per request shows that no request
// waits for a poll interval (that alone would cost hundreds of milliseconds each).

#include <benchmark/benchmark.h>
#include <httplib.h>

#include <string>
#include <thread>

#include "nivo/HttpFrame.h"
#include "nivo/HttpPageReader.h"
#include "nivo/HttpUrl.h"
#include "output/Output.h"

namespace {

using zu::nivo::HeaderMap;
using zu::nivo::HttpFrame;
using zu::nivo::HttpPageReader;
using zu::nivo::HttpUrl;

// A cpp-httplib server on 127.0.0.1 with fixed pages, shared by every benchmark.
class LocalServer {
 public:
  LocalServer() {
    small_ = std::string(200, 's');
    large_.resize(1024 * 1024);
    for (size_t i = 0; i < large_.size(); ++i)
      large_[i] = static_cast<char>('a' + i % 26);
    for (int i = 0; i < 4000; ++i)
      json_ += "{\"id\":" + std::to_string(i) + ",\"title\":\"Show number " + std::to_string(i) +
               "\",\"start\":" + std::to_string(1500000000 + i * 1800) + "},";

    server_.Get("/small", [this](const httplib::Request&, httplib::Response& response) {
      response.set_content(small_, "application/octet-stream");
    });
    server_.Get("/large", [this](const httplib::Request&, httplib::Response& response) {
      response.set_content(large_, "application/octet-stream");
    });
    // A text type: the server compresses it for a client that accepts gzip.
    server_.Get("/guide.json", [this](const httplib::Request&, httplib::Response& response) {
      response.set_content(json_, "application/json");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ > 0)
      thread_ = std::thread([this]() { server_.listen_after_bind(); });
  }
  ~LocalServer() {
    server_.stop();
    if (thread_.joinable())
      thread_.join();
  }

  int Port() const { return port_; }
  size_t ExpectedSize(const std::string& path) const {
    return path == "small" ? small_.size() : path == "large" ? large_.size() : json_.size();
  }

 private:
  httplib::Server server_;
  std::string small_;
  std::string large_;
  std::string json_;
  int port_ = -1;
  std::thread thread_;
};

LocalServer& Server() {
  static LocalServer server;
  return server;
}

void PageReaderRequests(benchmark::State& state, const std::string& path) {
  LocalServer& server = Server();
  zu::SharedPtr<HttpPageReader> reader = HttpPageReader::Create();
  if (server.Port() <= 0 || !reader) {
    state.SkipWithError("no server or reader");
    return;
  }
  const HttpUrl url("127.0.0.1", path, static_cast<uint16_t>(server.Port()));
  size_t bytes = 0;
  for (auto _ : state) {
    const HttpFrame frame = reader->GetHttpPage(url, HeaderMap());
    if (frame.body.size() != server.ExpectedSize(path)) {
      state.SkipWithError("wrong body");
      break;
    }
    bytes += frame.body.size();
    benchmark::DoNotOptimize(frame.body.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
  state.SetItemsProcessed(state.iterations());
  reader->StopServer();
}

void HttplibRequests(benchmark::State& state, const std::string& path) {
  LocalServer& server = Server();
  size_t bytes = 0;
  for (auto _ : state) {
    // A new connection per request, as the page reader makes.
    httplib::Client client("127.0.0.1", server.Port());
    client.set_keep_alive(false);
    client.set_decompress(true);
    const httplib::Headers headers = {{"Accept-Encoding", "gzip"}, {"Connection", "close"}};
    const auto result = client.Get(("/" + path).c_str(), headers);
    if (!result || result->body.size() != server.ExpectedSize(path)) {
      state.SkipWithError("wrong body");
      break;
    }
    bytes += result->body.size();
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
  state.SetItemsProcessed(state.iterations());
}

void BM_PageReaderSmall(benchmark::State& state) {
  PageReaderRequests(state, "small");
}
void BM_PageReaderLarge(benchmark::State& state) {
  PageReaderRequests(state, "large");
}
void BM_PageReaderGzipJson(benchmark::State& state) {
  PageReaderRequests(state, "guide.json");
}
void BM_HttplibClientSmall(benchmark::State& state) {
  HttplibRequests(state, "small");
}
void BM_HttplibClientLarge(benchmark::State& state) {
  HttplibRequests(state, "large");
}
void BM_HttplibClientGzipJson(benchmark::State& state) {
  HttplibRequests(state, "guide.json");
}

// Hundreds of sequential requests each; real time, since the requesting thread mostly waits.
BENCHMARK(BM_PageReaderSmall)->Iterations(500)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HttplibClientSmall)->Iterations(500)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PageReaderLarge)->Iterations(200)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HttplibClientLarge)->Iterations(200)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PageReaderGzipJson)->Iterations(200)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HttplibClientGzipJson)->Iterations(200)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

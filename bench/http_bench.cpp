// Page requests: GetHttpPage against libcurl for the same documents from a local cpp-httplib
// server, a fresh connection per request on both sides: 1 KiB plain with a length, 100 KiB of
// JSON sent gzip-compressed with a length, and 1 MiB chunked. libcurl receives into one buffer
// it keeps and hands each body out as a string of its own, as GetHttpPage does. Also the
// slowest request of the run: a request that waited for a pass of the socket server's poll
// would take 300 ms.

#include <httplib.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "bench/BenchSupport.h"
#include "nivo/HttpFrame.h"
#include "nivo/HttpPageReader.h"
#include "nivo/HttpUrl.h"

namespace {

using zu::nivo::HeaderMap;
using zu::nivo::HttpFrame;
using zu::nivo::HttpPageReader;
using zu::nivo::HttpUrl;

const size_t kChunkBytes = 8 * 1024;
// The longest a socket server poll pass lasts: a request waiting for one would show it.
const double kPollPassMillis = 300;

std::string Gzip(const std::string& data) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) !=
      Z_OK)
    return std::string();
  std::string out(deflateBound(&stream, data.size()), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

// Text like a guide document: repetitive, as JSON is, but not trivially so.
std::string GuideLikeText(size_t size) {
  std::string text = "[";
  for (unsigned i = 0; text.size() < size; ++i) {
    text += "[\"" + std::to_string(40000000 + i * 7919 % 100000) + "\",\"2024-03-0" +
            std::to_string(1 + i % 7) + "T" + std::to_string(10 + i % 14) + ":" +
            std::to_string(10 + i * 13 % 50) + ":00\",\"Show number " + std::to_string(i) +
            "\",[\"Genre " + std::to_string(i % 11) + "\"]],";
  }
  text.resize(size - 1);
  text += "]";
  return text;
}

class LocalServer {
 public:
  LocalServer() {
    small_.assign(1024, 'x');
    for (size_t i = 0; i < small_.size(); ++i)
      small_[i] = static_cast<char>('a' + i % 26);
    json_ = GuideLikeText(100 * 1024);
    jsonGzip_ = Gzip(json_);
    large_.resize(1024 * 1024);
    for (size_t i = 0; i < large_.size(); ++i)
      large_[i] = static_cast<char>(' ' + (i * 31 + i / 1000) % 95);

    server_.Get("/1k", [this](const httplib::Request&, httplib::Response& response) {
      response.set_content(small_, "application/octet-stream");
    });
    // Compressed here, once: the server's own compression would cost every request.
    server_.Get("/100k.gz", [this](const httplib::Request&, httplib::Response& response) {
      response.set_header("Content-Encoding", "gzip");
      response.set_content(jsonGzip_, "application/octet-stream");
    });
    server_.Get("/1m.chunked", [this](const httplib::Request&, httplib::Response& response) {
      response.set_chunked_content_provider(
          "application/octet-stream", [this](size_t offset, httplib::DataSink& sink) {
            if (offset >= large_.size()) {
              sink.done();
              return true;
            }
            return sink.write(large_.data() + offset,
                              std::min(kChunkBytes, large_.size() - offset));
          });
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ > 0)
      thread_ = std::thread([this]() { server_.listen_after_bind(); });
    while (port_ > 0 && !server_.is_running())
      std::this_thread::yield();
  }
  ~LocalServer() {
    server_.stop();
    if (thread_.joinable())
      thread_.join();
  }

  int Port() const { return port_; }
  const std::string& Expected(const std::string& path) const {
    return path == "1k" ? small_ : path == "100k.gz" ? json_ : large_;
  }
  size_t WireSize(const std::string& path) const {
    return path == "100k.gz" ? jsonGzip_.size() : Expected(path).size();
  }

 private:
  httplib::Server server_;
  std::string small_;
  std::string json_;
  std::string jsonGzip_;
  std::string large_;
  int port_ = -1;
  std::thread thread_;
};

LocalServer& Server() {
  static LocalServer server;
  return server;
}

std::vector<double> slowestOurs;
std::vector<double> slowestFloor;

void PageRequests(benchmark::State& state, const std::string& path, const std::string& title,
                  int pairs, double limit) {
  LocalServer& server = Server();
  const zu::SharedPtr<HttpPageReader> reader = HttpPageReader::Create();
  zu_bench::CurlClient curl;
  if (server.Port() <= 0 || !reader) {
    state.SkipWithError("no server or page reader");
    return;
  }
  const HttpUrl url("127.0.0.1", path, static_cast<uint16_t>(server.Port()));
  const std::string curlUrl = "http://127.0.0.1:" + std::to_string(server.Port()) + "/" + path;
  const std::string& expected = server.Expected(path);
  zu_bench::Pairs pairsRun;
  for (auto _ : state) {
    const bool ok = pairsRun.Run(
        pairs,
        [&]() {
          const HttpFrame frame = reader->GetHttpPage(url, HeaderMap());
          return frame.body == expected;
        },
        [&]() {
          // The body handed out as a string of its own, as GetHttpPage hands it out.
          const std::string body = curl.Get(curlUrl, {"Connection: close"});
          return body == expected;
        });
    if (!ok) {
      state.SkipWithError("a request failed or returned the wrong body");
      reader->StopServer();
      return;
    }
  }
  reader->StopServer();
  slowestOurs.push_back(zu_bench::Max(pairsRun.Ours()));
  slowestFloor.push_back(zu_bench::Max(pairsRun.Floor()));
  state.counters["ours_max_us"] = zu_bench::Max(pairsRun.Ours());
  state.counters["wire_bytes"] = static_cast<double>(server.WireSize(path));
  zu_bench::Row row;
  row.benchmark = "Page request, " + title;
  row.unit = "us/request";
  row.ours = zu_bench::Median(pairsRun.Ours());
  row.floor = zu_bench::Median(pairsRun.Floor());
  row.limit = limit;
  zu_bench::Report(state, row);
}

void SlowestRequest(benchmark::State& state) {
  for (auto _ : state) {
  }
  zu_bench::Row row;
  row.benchmark = "Page request, slowest of the run";
  row.unit = "ms";
  row.ours = zu_bench::Max(slowestOurs) / 1000;
  row.floor = -1;
  char floorText[64];
  snprintf(floorText, sizeof(floorText), "libcurl's slowest: %.2f ms",
           zu_bench::Max(slowestFloor) / 1000);
  row.floorNote = floorText;
  row.limit = kPollPassMillis;
  zu_bench::Report(state, row);
}

}  // namespace

int main(int argc, char** argv) {
  return zu_bench::Main(argc, argv, []() {
    benchmark::RegisterBenchmark("PageRequest/1KiB_plain", PageRequests, "1k",
                                 "1 KiB plain (length)", zu_bench::Count(400, 20), 1.5)
        ->Iterations(1)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("PageRequest/100KiB_gzip", PageRequests, "100k.gz",
                                 "100 KiB JSON, gzip (length)", zu_bench::Count(300, 10), 1.2)
        ->Iterations(1)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("PageRequest/1MiB_chunked", PageRequests, "1m.chunked",
                                 "1 MiB chunked", zu_bench::Count(150, 5), 1.2)
        ->Iterations(1)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("PageRequest/slowest", SlowestRequest)->Iterations(1);
  });
}

// Page requests: GetHttpPage against libcurl for the same documents from a local scripted
// peer that answers from prepared bytes, a fresh connection per request on both sides: 1 KiB
// plain with a length, 100 KiB of JSON sent gzip-compressed with a length, and 1 MiB chunked.
// libcurl receives into one buffer it keeps and hands each body out as a string of its own, as
// GetHttpPage does. Also the slowest request of the run: a request that waited for a pass of
// the socket server's poll would take 300 ms.

#include <cstdio>
#include <map>
#include <string>

#include "bench/BenchSupport.h"
#include "nivo/HttpFrame.h"
#include "nivo/HttpPageReader.h"
#include "nivo/HttpUrl.h"
#include "provider/Codec.h"
#include "tests/support/ScriptedPeer.h"

namespace {

using zu::nivo::HeaderMap;
using zu::nivo::HttpFrame;
using zu::nivo::HttpPageReader;
using zu::nivo::HttpUrl;
using zu_test::PeerConnection;
using zu_test::PeerRequest;
using zu_test::PeerResponse;
using zu_test::ScriptedPeer;

// The longest a socket server poll pass lasts: a request waiting for one would show it.
const double kPollPassMillis = 300;

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

// A document: the body a request must return and the response's bytes on the wire.
struct Page {
  std::string body;
  std::string wire;
};

std::map<std::string, Page> MakePages() {
  std::string small(1024, 'x');
  for (size_t i = 0; i < small.size(); ++i)
    small[i] = static_cast<char>('a' + i % 26);
  const std::string json = GuideLikeText(100 * 1024);
  std::string large(1024 * 1024, ' ');
  for (size_t i = 0; i < large.size(); ++i)
    large[i] = static_cast<char>(' ' + (i * 31 + i / 1000) % 95);

  PeerResponse gzip(200, zu::provider::Codec::Gzip(json));
  gzip.headers = "Content-Encoding: gzip\r\n";
  PeerResponse chunked(200, large);
  chunked.framing = PeerResponse::Framing::kChunked;
  return {{"/1k", {small, PeerResponse(200, small).Wire()}},
          {"/100k.gz", {json, gzip.Wire()}},
          {"/1m.chunked", {large, chunked.Wire()}}};
}

// The three documents, prepared once, served to every connection.
class PreparedPages {
 public:
  PreparedPages()
      : pages_(MakePages()),
        peer_([this](PeerConnection& connection) { Answer(connection); }, ScriptedPeer::kEvery) {}

  int Port() const { return peer_.Port(); }
  const Page& Get(const std::string& path) const { return pages_.at("/" + path); }

 private:
  void Answer(PeerConnection& connection) {
    const auto page = pages_.find(PeerRequest::Parse(connection.ReadRequest()).target);
    if (page != pages_.end())
      connection.Send(page->second.wire);
  }

  const std::map<std::string, Page> pages_;
  ScriptedPeer peer_;
};

PreparedPages& Server() {
  static PreparedPages server;
  return server;
}

std::vector<double> slowestOurs;
std::vector<double> slowestFloor;

void PageRequests(benchmark::State& state, const std::string& path, const std::string& title,
                  int pairs, double limit) {
  PreparedPages& server = Server();
  const zu::SharedPtr<HttpPageReader> reader = HttpPageReader::Create();
  zu_bench::CurlClient curl;
  if (server.Port() <= 0 || !reader) {
    state.SkipWithError("no server or page reader");
    return;
  }
  const HttpUrl url("127.0.0.1", path, static_cast<uint16_t>(server.Port()));
  const std::string curlUrl = "http://127.0.0.1:" + std::to_string(server.Port()) + "/" + path;
  const Page& page = server.Get(path);
  const std::string& expected = page.body;
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
  state.counters["wire_bytes"] = static_cast<double>(page.wire.size());
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

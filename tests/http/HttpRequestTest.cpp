// The request side: URL text forms, header composition and the request bytes, the guard
// against line breaks, and the mobile user agents.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "nivo/HttpRequest.h"
#include "nivo/HttpUrl.h"
#include "nivo/UserAgent.h"

namespace {

using zu::nivo::ComposeRequest;
using zu::nivo::ComposeRequestHeaders;
using zu::nivo::HeaderMap;
using zu::nivo::HttpUrl;

const std::string kDesktopAgent =
    "Mozilla/5.0 (Windows NT 6.3; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/43.0.2357.124 Safari/537.36";

TEST(HttpUrlTest, PortAppearsOnlyWhenNotEighty) {
  const HttpUrl plain("guide.example", "a/service.m3u");
  EXPECT_EQ(80, plain.port);
  EXPECT_EQ("guide.example", plain.GetHostAndPort());
  EXPECT_EQ("http://guide.example/a/service.m3u", plain.GetUrl());

  const HttpUrl other("guide.example", "a/api.mobile.station.get?type=JSON.1", 8080);
  EXPECT_EQ("guide.example:8080", other.GetHostAndPort());
  EXPECT_EQ("http://guide.example:8080/a/api.mobile.station.get?type=JSON.1", other.GetUrl());

  EXPECT_EQ("http:///", HttpUrl().GetUrl());
}

TEST(HttpRequestTest, DefaultRequestBytes) {
  EXPECT_EQ(
      "GET /a/service.fta.m3u HTTP/1.1\r\n"
      "Accept-Encoding: gzip\r\n"
      "Connection: close\r\n"
      "Host: guide.example\r\n"
      "User-Agent: " +
          kDesktopAgent +
          "\r\n"
          "\r\n",
      ComposeRequest(HttpUrl("guide.example", "a/service.fta.m3u"), HeaderMap()));
}

TEST(HttpRequestTest, HostCarriesAPortOtherThanEighty) {
  const std::string request = ComposeRequest(HttpUrl("10.1.2.3", "x", 8080), HeaderMap());
  EXPECT_NE(std::string::npos, request.find("\r\nHost: 10.1.2.3:8080\r\n"));
}

TEST(HttpRequestTest, CallerHeadersAreMergedAndSortedByteWise) {
  HeaderMap headers;
  headers["User-Agent"] = "agent/1";
  headers["Accept"] = "application/json";
  headers["x-lower"] = "sorts after upper case";
  EXPECT_EQ(
      "GET /p?q=1 HTTP/1.1\r\n"
      "Accept: application/json\r\n"
      "Accept-Encoding: gzip\r\n"
      "Connection: close\r\n"
      "Host: h\r\n"
      "User-Agent: agent/1\r\n"
      "x-lower: sorts after upper case\r\n"
      "\r\n",
      ComposeRequest(HttpUrl("h", "p?q=1"), headers));
}

TEST(HttpRequestTest, EmptyValueRemovesAndOtherValuesReplace) {
  HeaderMap headers;
  headers["Accept-Encoding"] = "";
  headers["Connection"] = "keep-alive";
  headers["Host"] = "virtual.example";
  headers["Not-There"] = "";  // removing an absent header changes nothing
  const HeaderMap composed = ComposeRequestHeaders(HttpUrl("h", "p"), headers);
  const HeaderMap expected = {
      {"Connection", "keep-alive"}, {"Host", "virtual.example"}, {"User-Agent", kDesktopAgent}};
  EXPECT_EQ(expected, composed);

  const std::string request = ComposeRequest(HttpUrl("h", "p"), headers);
  EXPECT_EQ(std::string::npos, request.find("Accept-Encoding"));
  EXPECT_EQ(std::string::npos, request.find("close"));
}

TEST(HttpRequestTest, PathIsSentAsStored) {
  const std::string request =
      ComposeRequest(HttpUrl("h", "a/api.mobile.event.hour?x=%20y&z=ä"), HeaderMap());
  EXPECT_EQ(0u, request.find("GET /a/api.mobile.event.hour?x=%20y&z=ä HTTP/1.1\r\n"));
}

TEST(HttpRequestTest, LineBreaksAnywhereMakeTheRequestUnsafe) {
  EXPECT_TRUE(zu::nivo::IsSafeRequest(HttpUrl("h", "a b?c"), {{"Accept", "*/*"}}));
  EXPECT_FALSE(zu::nivo::IsSafeRequest(HttpUrl("h", "a\r\nX-Forged: 1"), HeaderMap()));
  EXPECT_FALSE(zu::nivo::IsSafeRequest(HttpUrl("h\n", "a"), HeaderMap()));
  EXPECT_FALSE(zu::nivo::IsSafeRequest(HttpUrl("h", "a"), {{"Accept", "x\r\n\r\nGET /"}}));
  EXPECT_FALSE(zu::nivo::IsSafeRequest(HttpUrl("h", "a"), {{"Bad\nName", "x"}}));
  EXPECT_FALSE(zu::nivo::IsSafeRequest(HttpUrl("h", std::string("a\0b", 3)), HeaderMap()));
}

// The device number inside a mobile user agent.
int DeviceNumber(const std::string& agent) {
  const std::string prefix = "Mozilla/5.0 (Linux; U; Android 4.1.1; en-us; SGPT-";
  const std::string suffix =
      " Build/TJDSU0177) AppleWebKit/533.1 (KHTML, like Gecko) Version/4.0 Mobile "
      "Safari/533.1 NivoTV/3.2";
  if (agent.compare(0, prefix.size(), prefix) != 0 ||
      agent.size() < prefix.size() + suffix.size() ||
      agent.compare(agent.size() - suffix.size(), suffix.size(), suffix) != 0)
    return -1;
  return std::stoi(agent.substr(prefix.size(), agent.size() - prefix.size() - suffix.size()));
}

TEST(UserAgentTest, EveryProcessStartsWithTheSameNumbers) {
  // Each test case runs in a process of its own, so these are the process's first agents.
  const std::vector<int> expected = {0, 131, 755, 458, 532, 218, 47, 678};
  std::vector<int> numbers;
  for (size_t i = 0; i < expected.size(); ++i)
    numbers.push_back(DeviceNumber(zu::nivo::GetMobileUserAgent()));
  EXPECT_EQ(expected, numbers);
}

TEST(UserAgentTest, ConcurrentCallersShareOneSequence) {
  // The reference: the standard library's minimal-standard engine, drawn by rejection.
  std::minstd_rand0 engine(1);
  std::vector<int> reference;
  for (int i = 0; i < 20000; ++i) {
    unsigned long r = 0;
    do {
      r = engine() - 1;
    } while (r >= 1000ul * 2147483ul);
    reference.push_back(static_cast<int>(r / 2147483ul));
  }
  // Where the process's generator stands (other cases in this process may have drawn):
  // a window of twelve numbers is unique in the reference.
  std::vector<int> window;
  for (int i = 0; i < 12; ++i)
    window.push_back(DeviceNumber(zu::nivo::GetMobileUserAgent()));
  const auto found = std::search(reference.begin(), reference.end(), window.begin(), window.end());
  ASSERT_NE(reference.end(), found);
  const size_t next = static_cast<size_t>(found - reference.begin()) + window.size();

  const int threads = 4;
  const int perThread = 500;
  ASSERT_LE(next + threads * perThread, reference.size());
  std::map<int, int> expected;
  for (size_t i = next; i < next + threads * perThread; ++i)
    ++expected[reference[i]];

  std::vector<std::vector<int>> drawn(threads);
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([&drawn, t]() {
      for (int i = 0; i < perThread; ++i)
        drawn[t].push_back(DeviceNumber(zu::nivo::GetMobileUserAgent()));
    });
  }
  for (std::thread& worker : workers)
    worker.join();
  std::map<int, int> seen;
  for (const auto& numbers : drawn) {
    for (int number : numbers)
      ++seen[number];
  }
  // No number was lost or drawn twice from the same generator state.
  EXPECT_EQ(expected, seen);
}

}  // namespace

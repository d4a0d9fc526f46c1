#include <nlohmann/json.hpp>

#include <future>
#include <thread>

#include "ProviderFixture.h"

namespace {

using namespace provider_test;
using nlohmann::json;
using zu::provider::Endpoint;
using zu::provider::Fault;
using zu::provider::FaultRule;
using zu::provider::Framing;
using zu::provider::Transfer;

const char kShows[] = "/a/api.mobile.event.hour?period=20160131T060000/24H&stationuid=71001";
const char kDetails[] = "/a/api.mobile.event.get?type=JSON.3&evid=2101760";  // 1st show, day 1
const std::chrono::seconds kBound(30);

FaultRule Rule(Fault fault) {
  FaultRule rule;
  rule.fault = fault;
  return rule;
}

bool ParsesAsJson(const std::string& text) {
  return json::accept(text);
}

class Faults : public ProviderFixture {
 protected:
  // Connects and sends a request without reading; the socket is returned for inspection.
  int Send(const std::string& target) {
    int error = 0;
    int fd = ConnectTo(port_, error);
    EXPECT_GE(fd, 0) << error;
    std::string request = "GET " + target + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    return fd;
  }
  // Bytes ready on fd without waiting.
  static std::string Available(int fd) {
    std::string data;
    char buffer[4096];
    ssize_t received;
    while ((received = recv(fd, buffer, sizeof(buffer), MSG_DONTWAIT)) > 0) {
      data.append(buffer, static_cast<std::size_t>(received));
    }
    return data;
  }
  // Reads until the connection ends; returns the bytes and sets the errno that ended it.
  static std::string Drain(int fd, int& error) {
    std::string data;
    char buffer[4096];
    ssize_t received;
    while ((received = recv(fd, buffer, sizeof(buffer), 0)) > 0) {
      data.append(buffer, static_cast<std::size_t>(received));
    }
    error = received == 0 ? 0 : errno;
    return data;
  }
};

TEST_F(Faults, OfflineRefusesConnectionsOnTheSamePortUntilBackOnline) {
  ASSERT_EQ(200, Fetch(kHeaderInfo).status);
  ASSERT_TRUE(provider_->SetOffline(true));
  EXPECT_TRUE(provider_->IsOffline());
  EXPECT_EQ(port_, provider_->Port());
  RawResponse refused = Fetch(kHeaderInfo);
  EXPECT_FALSE(refused.connected);
  EXPECT_EQ(ECONNREFUSED, refused.connectError);
  ASSERT_TRUE(provider_->SetOffline(false));
  EXPECT_FALSE(provider_->IsOffline());
  EXPECT_EQ(200, Fetch(kHeaderInfo).status);

  // Timed: the control path switches off and the provider comes back by itself.
  ASSERT_EQ(200, Post(port_, "/_control/offline?seconds=2").status);
  auto deadline = std::chrono::steady_clock::now() + kBound;
  bool wentOffline = false, cameBack = false;
  while (std::chrono::steady_clock::now() < deadline && !cameBack) {
    RawResponse response = Fetch(kHeaderInfo);
    wentOffline = wentOffline || !response.connected;
    cameBack = wentOffline && response.status == 200;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(wentOffline);
  EXPECT_TRUE(cameBack);
}

TEST_F(Faults, HangingRequestGetsNoAnswerAndIsResetWhenReleased) {
  provider_->SetFault(Endpoint::kStationList, Rule(Fault::kHang));
  int fd = Send(kStations);
  // Waits for the fault decision, not just the arrival: a fault cleared in between would
  // rightly not apply.
  ASSERT_TRUE(provider_->WaitForRequests(Endpoint::kStationList, 1, kBound));
  // Other documents are still served while one request hangs.
  EXPECT_EQ(200, Fetch(kHeaderInfo).status);
  EXPECT_EQ("", Available(fd));
  provider_->ClearFaults();
  int error = 0;
  EXPECT_EQ("", Drain(fd, error));
  EXPECT_EQ(ECONNRESET, error);
  close(fd);
  EXPECT_EQ(200, Fetch(kStations).status);
}

TEST_F(Faults, StopReleasesHangingAndDrippingRequests) {
  provider_->SetFault(Endpoint::kStationList, Rule(Fault::kHang));
  FaultRule drip = Rule(Fault::kDrip);
  drip.dripIntervalMs = 3600 * 1000;
  provider_->SetFault(Endpoint::kHeaderInfo, drip);
  int hanging = Send(kStations);
  int dripping = Send(kHeaderInfo);
  ASSERT_TRUE(provider_->WaitForRequests(Endpoint::kStationList, 1, kBound));
  ASSERT_TRUE(provider_->WaitForRequests(Endpoint::kHeaderInfo, 1, kBound));
  // The dripping body has begun: the headers and exactly one byte, the next one an hour away.
  std::string received;
  auto deadline = std::chrono::steady_clock::now() + kBound;
  while (received.find("\r\n\r\n") == std::string::npos ||
         received.size() == received.find("\r\n\r\n") + 4) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    received += Available(dripping);
  }
  EXPECT_EQ(received.find("\r\n\r\n") + 5, received.size());
  EXPECT_NE(std::string::npos, received.find("Content-Length: "));

  auto stopped = std::async(std::launch::async, [this] { provider_->Stop(); });
  ASSERT_EQ(std::future_status::ready, stopped.wait_for(kBound));
  int error = 0;
  EXPECT_EQ("", Drain(hanging, error));
  Drain(dripping, error);
  close(hanging);
  close(dripping);
  EXPECT_FALSE(Fetch(kHeaderInfo).connected);
}

TEST_F(Faults, DripDeliversTheWholeDocumentByteByByte) {
  FaultRule drip = Rule(Fault::kDrip);
  drip.dripIntervalMs = 1;
  provider_->SetFault(Endpoint::kHeaderInfo, drip);
  RawResponse dripped = Fetch(kHeaderInfo);
  provider_->ClearFaults();
  RawResponse normal = Fetch(kHeaderInfo);
  EXPECT_TRUE(dripped.complete);
  EXPECT_EQ(normal.body, dripped.body);
}

TEST_F(Faults, HttpErrorsHitOnlyTheChosenEndpointAndRequests) {
  FaultRule error = Rule(Fault::kHttpError);
  error.status = 404;
  provider_->SetFault(Endpoint::kPlaylistPlus, error);
  EXPECT_EQ(200, Fetch("/a/service.fta.m3u").status);
  RawResponse failed = Fetch("/a/service.plus.m3u");
  EXPECT_EQ(404, failed.status);
  EXPECT_EQ(std::string::npos, failed.body.find("#EXTINF"));
  EXPECT_EQ(200, Fetch("/a/service.m3u").status);

  // The second request of the shows fails once; the first and third succeed.
  FaultRule once = Rule(Fault::kHttpError);
  once.skip = 1;
  once.times = 1;
  provider_->SetFault(Endpoint::kShowList, once);
  EXPECT_EQ(200, Fetch(kShows).status);
  EXPECT_EQ(500, Fetch(kShows).status);
  EXPECT_EQ(200, Fetch(kShows).status);
  EXPECT_EQ(3u, provider_->RequestCount(Endpoint::kShowList));

  // The same through the control path.
  ASSERT_EQ(200, Post(port_, "/_control/fault?endpoint=stations&kind=http&status=503").status);
  EXPECT_EQ(503, Fetch(kStations).status);
  EXPECT_EQ(400, Post(port_, "/_control/fault?endpoint=stations&kind=explode").status);
  EXPECT_EQ(400, Post(port_, "/_control/fault?endpoint=stations&kind=http&status=99").status);
  ASSERT_EQ(200, Post(port_, "/_control/clear").status);
  EXPECT_EQ(200, Fetch(kStations).status);
  EXPECT_EQ(200, Fetch("/a/service.plus.m3u").status);
}

TEST_F(Faults, BrokenDocumentsStayWellFramed) {
  // Malformed: still 200 and complete, but not JSON any more.
  for (const char* target : {kStations, kShows, kDetails}) {
    ASSERT_EQ(200, Fetch(target).status) << target;
    ASSERT_TRUE(ParsesAsJson(Fetch(target, kGzip).Text())) << target;
  }
  provider_->SetFaultEverywhere(Rule(Fault::kMalformed));
  for (const char* target : {kStations, kShows, kDetails}) {
    RawResponse response = Fetch(target, kGzip);
    EXPECT_EQ(200, response.status) << target;
    EXPECT_TRUE(response.complete) << target;
    EXPECT_FALSE(ParsesAsJson(response.Text())) << target;
  }
  EXPECT_EQ(std::string::npos, Fetch("/a/service.m3u").Text().find("#EXTINF"));

  // Wrong types: valid JSON, but the members the reader relies on have other types.
  provider_->SetFaultEverywhere(Rule(Fault::kWrongTypes));
  json stations = json::parse(Fetch(kStations).Text());
  EXPECT_TRUE(stations["data"][0]["Station"]["UID"].is_string());
  json shows = json::parse(Fetch(kShows).Text());
  EXPECT_TRUE(shows[1][0][2][0][0].is_number());
  json details = json::parse(Fetch(kDetails).Text());
  EXPECT_TRUE(details["data"][0]["Event"]["Person"].back().is_string());

  // Empty: 200 with nothing in it, also where gzip would apply.
  provider_->SetFaultEverywhere(Rule(Fault::kEmptyBody));
  RawResponse empty = Fetch(kStations, kGzip);
  EXPECT_EQ(200, empty.status);
  EXPECT_EQ("0", empty.Header("content-length"));
  EXPECT_TRUE(empty.body.empty());
}

TEST_F(Faults, GzipFaultsSendUninflatableBodies) {
  provider_->SetFault(Endpoint::kStationList, Rule(Fault::kTruncatedGzip));
  provider_->SetFault(Endpoint::kShowDetails, Rule(Fault::kCorruptGzip));
  // Sent gzip-encoded even to a client that did not ask for it.
  for (const char* target : {kStations, kDetails}) {
    RawResponse response = Fetch(target);
    EXPECT_EQ(200, response.status) << target;
    EXPECT_TRUE(response.complete) << target;
    EXPECT_EQ("gzip", response.Header("content-encoding")) << target;
    ASSERT_GT(response.body.size(), 10u);
    EXPECT_EQ("\x1f\x8b", response.body.substr(0, 2)) << target;
    std::string inflated;
    EXPECT_FALSE(response.Decoded(inflated)) << target;
  }
  provider_->ClearFaults();
  EXPECT_TRUE(ParsesAsJson(Fetch(kStations, kGzip).Text()));
}

TEST_F(Faults, ResetCutsTheBodyInTheMiddle) {
  provider_->SetFault(Endpoint::kPlaylistAll, Rule(Fault::kResetMidBody));
  RawResponse response = Fetch("/a/service.m3u");
  EXPECT_EQ(200, response.status);
  EXPECT_EQ(ECONNRESET, response.endError);
  EXPECT_FALSE(response.complete);
  std::size_t declared = std::stoul(response.Header("content-length"));
  EXPECT_GT(response.body.size(), 0u);
  EXPECT_LT(response.body.size(), declared);
  EXPECT_EQ(0u, response.body.find("#EXTM3U"));
}

TEST_F(Faults, HugeBodiesAreStreamedInEveryFraming) {
  FaultRule huge = Rule(Fault::kHugeBody);
  huge.hugeBytes = 8u << 20;
  provider_->SetFault(Endpoint::kStationList, huge);
  provider_->SetFault(Endpoint::kPlaylistFta, huge);
  for (Framing framing : {Framing::kContentLength, Framing::kChunked, Framing::kCloseDelimited}) {
    provider_->SetTransfer(Endpoint::kStationList, Transfer{true, framing});
    RawResponse response = Fetch(kStations, kGzip);
    ASSERT_EQ(200, response.status) << zu::provider::FramingName(framing);
    EXPECT_TRUE(response.complete);
    EXPECT_EQ("", response.Header("content-encoding"));
    ASSERT_EQ(huge.hugeBytes, response.body.size());
    EXPECT_EQ(0u, response.body.find("{\"data\":["));
    EXPECT_EQ("]}", response.body.substr(response.body.size() - 2));
  }
  RawResponse playlist = Fetch("/a/service.fta.m3u");
  EXPECT_EQ(huge.hugeBytes, playlist.body.size());
  EXPECT_EQ(0u, playlist.body.find("#EXTM3U\n"));
}

TEST_F(Faults, FaultOptionsAreParsedStrictly) {
  std::vector<Endpoint> endpoints;
  FaultRule rule;
  std::string error;
  ASSERT_TRUE(zu::provider::ParseFaultOption("playlist-plus=http:404,skip=1,times=2", endpoints,
                                             rule, error))
      << error;
  ASSERT_EQ(1u, endpoints.size());
  EXPECT_EQ(Endpoint::kPlaylistPlus, endpoints[0]);
  EXPECT_EQ(Fault::kHttpError, rule.fault);
  EXPECT_EQ(404, rule.status);
  EXPECT_EQ(1u, rule.skip);
  EXPECT_EQ(2u, rule.times);
  ASSERT_TRUE(zu::provider::ParseFaultOption("*=huge,bytes=1000", endpoints, rule, error));
  EXPECT_EQ(zu::provider::kEndpointCount, endpoints.size());
  EXPECT_EQ(1000u, rule.hugeBytes);
  for (const char* bad : {"stations", "=hang", "stations=", "stations=hang:500",
                          "stations=http:abc", "stations=http:600", "stations=drip,interval=-1",
                          "stations=drip,speed=2", "everything=hang", "stations=hang,skip"}) {
    EXPECT_FALSE(zu::provider::ParseFaultOption(bad, endpoints, rule, error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
  Transfer transfer;
  ASSERT_TRUE(zu::provider::ParseTransferOption("shows=close+gzip", endpoints, transfer, error));
  EXPECT_EQ(Framing::kCloseDelimited, transfer.framing);
  EXPECT_TRUE(transfer.gzip);
  ASSERT_TRUE(zu::provider::ParseTransferOption("stations=length+lower-case-headers-gzip+latin1",
                                                endpoints, transfer, error))
      << error;
  EXPECT_EQ(Framing::kContentLength, transfer.framing);
  EXPECT_FALSE(transfer.gzip);
  EXPECT_TRUE(transfer.latin1);
  EXPECT_TRUE(transfer.lowerCaseHeaders);
  for (const char* bad : {"shows=close+zip", "shows", "shows=close+", "shows=close+lower-case",
                          "shows=close+gzipped", "shows=+gzip"}) {
    EXPECT_FALSE(zu::provider::ParseTransferOption(bad, endpoints, transfer, error)) << bad;
  }
}

}  // namespace

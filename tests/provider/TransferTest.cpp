#include <nlohmann/json.hpp>

#include "ProviderFixture.h"

namespace {

using namespace provider_test;
using zu::provider::Endpoint;
using zu::provider::Framing;
using zu::provider::Transfer;

using Transfers = ProviderFixture;

TEST_F(Transfers, GzipIsSentOnlyWhenTheRequestAcceptsIt) {
  RawResponse identity = Fetch(kStations);
  ASSERT_EQ(200, identity.status);
  EXPECT_EQ("", identity.Header("content-encoding"));
  ASSERT_EQ('{', identity.body[0]);
  for (const char* accept :
       {"Accept-Encoding: gzip\r\n", "Accept-Encoding: gzip, deflate, sdch\r\n",
        "accept-encoding: deflate, GZIP;q=0.5\r\n", "Accept-Encoding: *\r\n"}) {
    RawResponse zipped = Fetch(kStations, accept);
    ASSERT_EQ(200, zipped.status) << accept;
    EXPECT_EQ("gzip", zipped.Header("content-encoding")) << accept;
    EXPECT_LT(zipped.body.size(), identity.body.size()) << accept;
    std::string inflated;
    ASSERT_TRUE(zipped.Decoded(inflated)) << accept;
    EXPECT_EQ(identity.body, inflated) << accept;
  }
  for (const char* refuse : {"Accept-Encoding: gzip;q=0\r\n", "Accept-Encoding: deflate\r\n",
                             "Accept-Encoding: identity\r\n"}) {
    RawResponse plain = Fetch(kStations, refuse);
    EXPECT_EQ("", plain.Header("content-encoding")) << refuse;
    EXPECT_EQ(identity.body, plain.body) << refuse;
  }
  // Never for documents configured without it, whatever the client accepts.
  RawResponse playlist = Fetch("/a/service.m3u", kGzip);
  EXPECT_EQ("", playlist.Header("content-encoding"));
  EXPECT_EQ(0u, playlist.body.find("#EXTM3U"));
}

TEST_F(Transfers, DefaultFormsMixChunkedAndLengthBodies) {
  RawResponse playlist = Fetch("/a/service.plus.m3u");
  EXPECT_EQ("chunked", playlist.Header("transfer-encoding"));
  EXPECT_EQ("", playlist.Header("content-length"));
  EXPECT_TRUE(playlist.complete);
  EXPECT_GT(playlist.chunks, 3u);
  EXPECT_EQ(1u, playlist.smallestChunk);  // chunk boundaries fall everywhere
  EXPECT_NE(std::string::npos, playlist.body.find("\r\n#EXTINF:-1,"));  // CR LF lines here

  RawResponse shows =
      Fetch("/a/api.mobile.event.hour?period=20160131T060000/24H&stationuid=71001", kGzip);
  EXPECT_EQ("chunked", shows.Header("transfer-encoding"));
  EXPECT_EQ("gzip", shows.Header("content-encoding"));
  EXPECT_TRUE(shows.complete);

  RawResponse info = Fetch(kHeaderInfo);
  EXPECT_EQ(std::to_string(info.body.size()), info.Header("content-length"));
  EXPECT_FALSE(info.body.empty());

  RawResponse stream = Fetch("/stream/71001.ts");
  EXPECT_EQ("", stream.Header("content-length"));
  EXPECT_EQ("", stream.Header("transfer-encoding"));
  EXPECT_TRUE(stream.complete);
  EXPECT_EQ(4u * 188u, stream.body.size());
}

TEST_F(Transfers, EveryFormCarriesTheSameDocument) {
  const std::string targets[] = {
      kStations, "/a/service.fta.m3u",
      "/a/api.mobile.event.hour?period=20160131T060000/30H&stationuid=72020"};
  const Endpoint endpoints[] = {Endpoint::kStationList, Endpoint::kPlaylistFta,
                                Endpoint::kShowList};
  for (std::size_t i = 0; i < 3; ++i) {
    provider_->SetTransfer(endpoints[i], Transfer{false, Framing::kContentLength});
    std::string reference = Fetch(targets[i]).body;
    ASSERT_GT(reference.size(), 1000u);
    for (Framing framing : {Framing::kContentLength, Framing::kChunked, Framing::kCloseDelimited}) {
      for (bool gzip : {false, true}) {
        provider_->SetTransfer(endpoints[i], Transfer{gzip, framing});
        RawResponse response = Fetch(targets[i], kGzip);
        std::string what =
            targets[i] + " " + zu::provider::FramingName(framing) + (gzip ? "+gzip" : "");
        ASSERT_EQ(200, response.status) << what;
        EXPECT_TRUE(response.complete) << what;
        EXPECT_EQ(gzip ? "gzip" : "", response.Header("content-encoding")) << what;
        EXPECT_EQ(framing == Framing::kChunked ? "chunked" : "",
                  response.Header("transfer-encoding"))
            << what;
        EXPECT_EQ(framing == Framing::kContentLength, !response.Header("content-length").empty())
            << what;
        std::string decoded;
        ASSERT_TRUE(response.Decoded(decoded)) << what;
        EXPECT_EQ(reference, decoded) << what;
      }
    }
  }
}

TEST_F(Transfers, BodyWithoutLengthEndsTheConnectionAlsoForKeepAliveClients) {
  // A body without length ends where the connection does, so the provider must close it
  // although the client would keep it; idle connections otherwise stay open for 30 s.
  const std::string keepAlive = "GET /stream/71001.ts HTTP/1.1\r\nHost: x\r\n\r\n";
  RawResponse response = Exchange(port_, keepAlive, 15);
  ASSERT_EQ(200, response.status);
  EXPECT_EQ("close", response.Header("connection"));
  EXPECT_EQ(0, response.endError);
  EXPECT_EQ(4u * 188u, response.body.size());
  EXPECT_EQ(std::string::npos, response.body.find("HTTP/1.1"));
}

TEST_F(Transfers, ControlPathChangesTheForm) {
  RawResponse answer = Post(port_, "/_control/transfer?endpoint=stations&framing=chunked&gzip=on");
  ASSERT_EQ(200, answer.status) << answer.raw;
  RawResponse response = Fetch(kStations, kGzip);
  EXPECT_EQ("chunked", response.Header("transfer-encoding"));
  EXPECT_EQ("gzip", response.Header("content-encoding"));
  EXPECT_EQ(400, Post(port_, "/_control/transfer?endpoint=stations&framing=zip").status);
  EXPECT_EQ(400, Post(port_, "/_control/transfer?endpoint=nowhere&framing=length").status);
  EXPECT_EQ(400, Post(port_, "/_control/transfer?endpoint=*&framing=length&gzip=yes").status);
  ASSERT_EQ(200, Post(port_,
                      "/_control/transfer?endpoint=details&framing=close&latin1=on"
                      "&lower-case-headers=on")
                     .status);
  Transfer details = provider_->GetTransfer(Endpoint::kShowDetails);
  EXPECT_TRUE(details.latin1 && details.lowerCaseHeaders && !details.gzip);
  EXPECT_EQ(Framing::kCloseDelimited, details.framing);
  ASSERT_EQ(200, Post(port_, "/_control/transfer?endpoint=*&framing=length&gzip=off").status);
  EXPECT_FALSE(provider_->GetTransfer(Endpoint::kShowList).gzip);
  EXPECT_EQ(Framing::kContentLength, provider_->GetTransfer(Endpoint::kPlaylistPlus).framing);
}

}  // namespace

#include <nlohmann/json.hpp>

#include "ProviderFixture.h"

namespace {

using namespace provider_test;
using nlohmann::json;
using zu::provider::Endpoint;
using zu::provider::Framing;
using zu::provider::Quirk;
using zu::provider::Transfer;

const char kShows[] = "/a/api.mobile.event.hour?period=20160201T050000/24H&stationuid=71001";

std::string Details(const std::string& id) {
  return "/a/api.mobile.event.get?type=JSON.3&evid=" + id;
}

// The header section as sent, status line excluded.
std::string HeaderLines(const RawResponse& response) {
  std::size_t begin = response.raw.find("\r\n") + 2;
  return response.raw.substr(begin, response.raw.find("\r\n\r\n") - begin + 2);
}

using Quirks = ProviderFixture;

TEST_F(Quirks, Latin1DocumentsWithLowerCaseHeaderNamesInEveryForm) {
  // "Drittes Süd", "Télé Monde" and show titles with umlauts: one byte each in Windows-1252.
  for (Framing framing : {Framing::kContentLength, Framing::kChunked, Framing::kCloseDelimited}) {
    for (bool gzip : {false, true}) {
      provider_->SetTransfer(Endpoint::kStationList, Transfer{gzip, framing, true, true});
      RawResponse response = Fetch(kStations, kGzip);
      std::string what = std::string(zu::provider::FramingName(framing)) + (gzip ? "+gzip" : "");
      ASSERT_EQ(200, response.status) << what;
      EXPECT_TRUE(response.complete) << what;
      std::string headers = HeaderLines(response);
      for (std::size_t line = 0; line < headers.size(); line = headers.find("\r\n", line) + 2) {
        std::string name = headers.substr(line, headers.find(':', line) - line);
        EXPECT_EQ(std::string::npos, name.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ")) << what;
      }
      EXPECT_EQ(framing == Framing::kContentLength,
                headers.find("content-length: ") == 0 ||
                    headers.find("\r\ncontent-length: ") != std::string::npos)
          << what;
      EXPECT_EQ(framing == Framing::kChunked,
                headers.find("transfer-encoding: chunked\r\n") != std::string::npos)
          << what;
      EXPECT_EQ(gzip, headers.find("content-encoding: gzip\r\n") != std::string::npos) << what;
      std::string text;
      ASSERT_TRUE(response.Decoded(text)) << what;
      EXPECT_NE(std::string::npos, text.find("\"Drittes S\xFC"
                                             "d\""))
          << what;
      EXPECT_NE(std::string::npos, text.find("\"T\xE9l\xE9 Monde\"")) << what;
      EXPECT_EQ(std::string::npos, text.find('\xC3')) << what;  // no UTF-8 lead byte left
    }
  }
  // The playlist names the station with the same bytes; show lists and details likewise.
  for (Endpoint endpoint : {Endpoint::kPlaylistAll, Endpoint::kShowList, Endpoint::kShowDetails}) {
    provider_->SetTransfer(endpoint, Transfer{false, Framing::kContentLength, true, false});
  }
  std::string playlist = Fetch("/a/service.m3u").body;
  EXPECT_NE(std::string::npos, playlist.find(",Drittes S\xFC"
                                             "d\n"))
      << playlist;
  EXPECT_EQ(std::string::npos, playlist.find('\xC3'));
  std::string shows = Fetch(kShows).body;
  EXPECT_NE(std::string::npos, shows.find_first_of("\xE4\xF6\xFC\xDF")) << shows;
  EXPECT_EQ(std::string::npos, shows.find('\xC3'));
  std::string details = Fetch(Details("10490368")).body;  // a show of "Drittes Süd"
  EXPECT_NE(std::string::npos, details.find_first_of("\xE4\xF6\xFC\xDF")) << details;
  EXPECT_EQ(std::string::npos, details.find('\xC3'));
}

TEST_F(Quirks, ControlCharactersStandRawInNamesAndTitlesAlike) {
  ASSERT_EQ(200, Post(port_, "/_control/quirk?name=control-characters").status);
  std::string stations = Fetch(kStations).body;
  EXPECT_FALSE(json::accept(stations));  // raw control characters are not JSON
  EXPECT_NE(std::string::npos, stations.find("\"DisplayName\":\"Erstes\tProgramm\""));
  EXPECT_NE(std::string::npos, stations.find("\"DisplayName\":\"Drittes\x01 West\""));
  std::string playlist = Fetch("/a/service.fta.m3u").body;
  EXPECT_NE(std::string::npos, playlist.find(",Erstes\tProgramm\n"));
  EXPECT_NE(std::string::npos, playlist.find(",Drittes\x01 West\n"));

  // A show title with one, and the details of that show with the same title.
  std::string shows = Fetch(kShows, kGzip).Text();
  std::size_t control = shows.find_first_of("\t\x01", shows.find("[[\""));
  ASSERT_NE(std::string::npos, control) << shows;
  std::size_t show = shows.rfind("[\"", control);
  std::string id = shows.substr(show + 2, shows.find('"', show + 2) - show - 2);
  std::size_t titleAt = shows.rfind(",\"", control) + 2;
  std::string title = shows.substr(titleAt, shows.find('"', control) - titleAt);
  EXPECT_NE(std::string::npos, Fetch(Details(id)).body.find("\"Title\":\"" + title + "\""))
      << title;

  ASSERT_EQ(200, Post(port_, "/_control/quirk?name=control-characters&state=off").status);
  EXPECT_TRUE(json::accept(Fetch(kStations).body));
  EXPECT_TRUE(json::accept(Fetch(kShows, kGzip).Text()));
  EXPECT_EQ(400, Post(port_, "/_control/quirk?name=spaces").status);
}

TEST_F(Quirks, UnusableShowIdsComeFirstInEveryShowList) {
  provider_->SetQuirk(Quirk::kUnusableShowIds, true);
  for (const char* period : {"20160201T050000/24H", "20160202T120000/12H"}) {
    json shows = json::parse(
        Fetch("/a/api.mobile.event.hour?period=" + std::string(period) + "&stationuid=72020", kGzip)
            .Text())[1][0][2];
    ASSERT_GT(shows.size(), 6u);
    const char* ids[] = {"abc", "x-1", "", "-5", "0", "4711471147114711471147114"};
    for (std::size_t i = 0; i < 6; ++i) {
      EXPECT_EQ(ids[i], shows[i][0].get<std::string>()) << period;
    }
    // The shows after them keep ids their details can be asked for.
    EXPECT_EQ(200, Fetch(Details(shows[6][0].get<std::string>())).status) << period;
  }
}

TEST_F(Quirks, AMovedShowKeepsItsIdAndItsSuccessorStartsWhereItNowEnds) {
  json before = json::parse(Fetch(kShows, kGzip).Text())[1][0][2];
  provider_->SetQuirk(Quirk::kMovedShow, true);
  json after = json::parse(Fetch(kShows, kGzip).Text())[1][0][2];
  ASSERT_EQ(before.size(), after.size());
  std::size_t changed = 0;
  for (std::size_t i = 0; i + 1 < after.size(); ++i) {
    EXPECT_EQ(before[i][0], after[i][0]);
    EXPECT_EQ(after[i][2], after[i + 1][1]);  // still without gaps or overlaps
    if (before[i][2] != after[i][2]) {
      ++changed;
      EXPECT_EQ(before[i][1], after[i][1]);
      EXPECT_GT(after[i][2].get<std::string>(), before[i][2].get<std::string>());
      EXPECT_EQ(before[i + 1][2], after[i + 1][2]);
      json details = json::parse(Fetch(Details(after[i][0])).body)["data"][0]["Event"];
      EXPECT_EQ(after[i][2], details["End"]);
    }
  }
  EXPECT_EQ(1u, changed);
}

}  // namespace

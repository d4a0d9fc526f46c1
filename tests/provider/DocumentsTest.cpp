#include <nlohmann/json.hpp>

#include <map>
#include <set>

#include "ProviderFixture.h"
#include "provider/CivilTime.h"

namespace {

using nlohmann::json;
using namespace provider_test;
using zu::provider::Station;

struct Entry {
  std::string name;
  std::string url;
};

// Reads a playlist the way the add-on does: the title is everything after the first comma of
// an #EXTINF line, the URL the next non-empty line; line ends may be CR LF.
std::vector<Entry> ReadM3U(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = text.find('\n', begin);
    std::string line = text.substr(begin, end == std::string::npos ? end : end - begin);
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    if (!line.empty()) {
      lines.push_back(line);
    }
    begin = end == std::string::npos ? text.size() : end + 1;
  }
  std::vector<Entry> entries;
  for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
    if (lines[i].find("#EXTINF:") != std::string::npos) {
      std::size_t comma = lines[i].find(',');
      entries.push_back(
          {comma == std::string::npos ? lines[i] : lines[i].substr(comma + 1), lines[i + 1]});
      ++i;
    }
  }
  return entries;
}

std::pair<unsigned, unsigned> PngSize(const std::string& png) {
  if (png.size() < 24 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 ||
      png.compare(12, 4, "IHDR") != 0) {
    return {0, 0};
  }
  auto be32 = [&](std::size_t at) {
    return static_cast<unsigned>(static_cast<unsigned char>(png[at])) << 24 |
           static_cast<unsigned>(static_cast<unsigned char>(png[at + 1])) << 16 |
           static_cast<unsigned>(static_cast<unsigned char>(png[at + 2])) << 8 |
           static_cast<unsigned>(static_cast<unsigned char>(png[at + 3]));
  };
  return {be32(16), be32(20)};
}

std::string Path(const std::string& url, const std::string& base) {
  return url.compare(0, base.size(), base) == 0 ? url.substr(base.size()) : std::string();
}

class Documents : public ProviderFixture {
 protected:
  json ShowList(const std::string& period, std::uint32_t uid) {
    RawResponse response = Fetch(
        "/a/api.mobile.event.hour?period=" + period + "&stationuid=" + std::to_string(uid), kGzip);
    EXPECT_EQ(200, response.status);
    return json::parse(response.Text());
  }
};

TEST_F(Documents, StationListHasTheMembersTheReaderNeedsAndLogosAreServed) {
  RawResponse response = Fetch(kStations);
  ASSERT_EQ(200, response.status);
  json root = json::parse(response.Text());
  ASSERT_TRUE(root["data"].is_array());
  ASSERT_EQ(provider_->GetCatalogue().Stations().size(), root["data"].size());
  std::string base = provider_->BaseUrl();
  EXPECT_EQ("http://127.0.0.1:" + std::to_string(port_), base);
  for (const json& element : root["data"]) {
    const json& station = element.at("Station");
    ASSERT_TRUE(station.at("UID").is_number_integer());
    ASSERT_TRUE(station.at("DisplayName").is_string());
    const json& channel = station.at("Channel");
    ASSERT_TRUE(channel.is_array() && channel.size() == 2);
    EXPECT_TRUE(channel[0].is_string());
    EXPECT_TRUE(channel[1].is_number_integer());
    for (const char* list : {"Flags", "Products"}) {
      ASSERT_TRUE(station.at(list).is_array()) << list;
      for (const json& item : station.at(list)) {
        EXPECT_TRUE(item.is_string()) << list;
      }
    }
    std::string uri = station.at("Logo").at("URI").get<std::string>();
    const Station* known = provider_->GetCatalogue().FindByUid(station["UID"].get<std::uint32_t>());
    ASSERT_NE(nullptr, known);
    EXPECT_EQ(known->name, station["DisplayName"].get<std::string>());
    EXPECT_EQ(base + "/logo/60x30/" + known->logoFile, uri);
  }
  // The reader's rewrite of the first logo URI leads to a 128x64 picture.
  std::string uri = root["data"][0]["Station"]["Logo"]["URI"];
  uri.replace(uri.find("/logo/"), 6, "/station/");
  uri.replace(uri.find("/60x30/"), 7, "/128x64/");
  RawResponse logo = Fetch(Path(uri, base));
  ASSERT_EQ(200, logo.status);
  EXPECT_EQ("image/png", logo.Header("content-type"));
  EXPECT_EQ(std::make_pair(128u, 64u), PngSize(logo.body));
  EXPECT_EQ(std::make_pair(60u, 30u),
            PngSize(Fetch(Path(root["data"][0]["Station"]["Logo"]["URI"], base)).body));
  EXPECT_EQ(404, Fetch("/station/128x64/no-such-station.png").status);
}

TEST_F(Documents, EveryStationIsInAPlaylistUnderItsExactName) {
  std::map<std::string, std::vector<Entry>> lists;
  for (const char* path : {"/a/service.fta.m3u", "/a/service.plus.m3u", "/a/service.m3u"}) {
    RawResponse response = Fetch(path);
    ASSERT_EQ(200, response.status) << path;
    ASSERT_EQ(0u, response.Text().find("#EXTM3U")) << path;
    EXPECT_NE(std::string::npos, response.Text().find("\n## ")) << path;
    lists[path] = ReadM3U(response.Text());
  }
  auto find = [&](const std::string& list, const std::string& name) -> const Entry* {
    for (const Entry& entry : lists[list]) {
      if (entry.name == name) {
        return &entry;
      }
    }
    return nullptr;
  };
  for (const Station& station : provider_->GetCatalogue().Stations()) {
    const Entry* all = find("/a/service.m3u", station.name);
    ASSERT_NE(nullptr, all) << station.name;
    EXPECT_EQ(station.inFta, find("/a/service.fta.m3u", station.name) != nullptr) << station.name;
    EXPECT_EQ(station.inPlus, find("/a/service.plus.m3u", station.name) != nullptr) << station.name;
    // The stream URL points back at the provider and serves a transport stream.
    RawResponse stream = Fetch(Path(all->url, provider_->BaseUrl()));
    ASSERT_EQ(200, stream.status) << all->url;
    ASSERT_FALSE(stream.body.empty());
    EXPECT_EQ('\x47', stream.body[0]);
  }
  // Entries without a station are there too and must simply find no match.
  EXPECT_NE(nullptr, find("/a/service.m3u", "Teleshop 24"));
}

TEST_F(Documents, ShowListsJoinUpAndRepeatThemselves) {
  std::uint32_t uid = provider_->GetCatalogue().Stations()[5].uid;
  json first = ShowList("20160131T060000/24H", uid);
  json again = ShowList("20160131T060000/24H", uid);
  EXPECT_EQ(first[1], again[1]);
  const json& station = first[1][0];
  ASSERT_EQ(3u, station.size());
  EXPECT_EQ(uid, station[0].get<std::uint32_t>());
  EXPECT_TRUE(station[1].is_string());
  const json& shows = station[2];
  ASSERT_GT(shows.size(), 10u);
  std::string previousEnd;
  for (const json& show : shows) {
    ASSERT_GE(show.size(), 4u);
    for (int i = 0; i < 4; ++i) {
      ASSERT_TRUE(show[i].is_string()) << show;
    }
    if (show.size() > 5) {
      ASSERT_TRUE(show[5].is_array()) << show;
      for (const json& genre : show[5]) {
        EXPECT_TRUE(genre.is_null() || genre.is_string()) << show;
      }
    }
    for (std::size_t i = 6; i < show.size(); ++i) {
      EXPECT_TRUE(show[i].is_string()) << show;
    }
    if (!previousEnd.empty()) {
      EXPECT_EQ(previousEnd, show[1].get<std::string>());
    }
    previousEnd = show[2];
  }
  EXPECT_LE(shows.front()[1].get<std::string>(), "2016-01-31T06:00:00");
  EXPECT_GT(shows.front()[2].get<std::string>(), "2016-01-31T06:00:00");
  EXPECT_GE(shows.back()[2].get<std::string>(), "2016-02-01T06:00:00");
  EXPECT_LT(shows.back()[1].get<std::string>(), "2016-02-01T06:00:00");

  // A period that starts exactly at a show's end begins with the next show.
  std::string boundary = shows[5][2];
  std::string basic = boundary.substr(0, 4) + boundary.substr(5, 2) + boundary.substr(8, 2) + "T" +
                      boundary.substr(11, 2) + boundary.substr(14, 2) + boundary.substr(17, 2);
  json edge = ShowList(basic + "/1H", uid);
  EXPECT_EQ(shows[6][0], edge[1][0][2][0][0]);
  EXPECT_EQ(boundary, edge[1][0][2][0][1].get<std::string>());
}

TEST_F(Documents, DetailsExistForEveryListedShow) {
  std::uint32_t uid = provider_->GetCatalogue().Stations()[0].uid;
  json list = ShowList("20160201T050000/24H", uid);
  for (const json& show : list[1][0][2]) {
    RawResponse response =
        Fetch("/a/api.mobile.event.get?type=JSON.3&evid=" + show[0].get<std::string>(),
              "Accept-Encoding: gzip, deflate, sdch\r\n");
    ASSERT_EQ(200, response.status) << show;
    EXPECT_EQ("gzip", response.Header("content-encoding"));
    json event = json::parse(response.Text()).at("data").at(0).at("Event");
    for (const char* text : {"Title", "SubTitle", "Type", "Genre", "Description", "Image"}) {
      EXPECT_TRUE(event.at(text).is_string()) << text;
    }
    EXPECT_EQ(show[3], event["Title"]);
    EXPECT_TRUE(event.at("Country").is_array());
    EXPECT_TRUE(event.at("Year").is_array());
    for (const json& year : event["Year"]) {
      EXPECT_TRUE(year.is_number_integer());
    }
    std::string start = show[1], end = show[2];
    auto seconds = [](const std::string& t) {
      return zu::provider::MakeCivil(std::stoi(t.substr(0, 4)), std::stoul(t.substr(5, 2)),
                                     std::stoul(t.substr(8, 2)), std::stoul(t.substr(11, 2)),
                                     std::stoul(t.substr(14, 2)), std::stoul(t.substr(17, 2)));
    };
    EXPECT_EQ(seconds(end) - seconds(start), event.at("Duration").get<std::int64_t>());
    for (const json& person : event.at("Person")) {
      ASSERT_TRUE(person.is_array());
      ASSERT_GE(person.size(), 2u);
      for (const json& name : person) {
        EXPECT_TRUE(name.is_string());
      }
    }
  }
  // The image of the last show is a picture on the provider.
  json last = list[1][0][2].back();
  RawResponse details =
      Fetch("/a/api.mobile.event.get?type=JSON.3&evid=" + last[0].get<std::string>());
  std::string image = json::parse(details.Text())["data"][0]["Event"]["Image"];
  EXPECT_EQ(std::make_pair(160u, 90u), PngSize(Fetch(Path(image, provider_->BaseUrl())).body));
}

TEST_F(Documents, BadRequestsAreAnsweredAndLoggedWithoutHarm) {
  struct Case {
    std::string target;
    int status;
    std::string logged;
  };
  const Case cases[] = {
      {"/a/api.mobile.event.hour?period=2016-01-31/24H&stationuid=71001", 400, "YYYYMMDD"},
      {"/a/api.mobile.event.hour?period=20160131T060000/0H&stationuid=71001", 400, "1..240"},
      {"/a/api.mobile.event.hour?period=20160131T060000/24H", 400, "stationuid"},
      {"/a/api.mobile.event.hour?period=20160131T060000/24H&stationuid=99999999999", 400,
       "stationuid"},
      {"/a/api.mobile.event.get?type=JSON.3&evid=12ab", 400, "evid"},
      {"/a/api.mobile.event.get?type=JSON.3&evid=4711", 404, "no event 4711"},
      {"/a/api.mobile.event.get?type=JSON.2&evid=4711", 400, "unsupported type"},
      {"/a/api.mobile.station.get", 400, "unsupported type"},
      {"/logo/60x30/unknown.png", 404, "no such logo"},
      {"/logo/60x30/..%2F..%2Fetc%2Fpasswd", 404, "no document at"},
      {"/nothing/here", 404, "no document at /nothing/here"},
  };
  for (const Case& c : cases) {
    RawResponse response = Fetch(c.target);
    EXPECT_EQ(c.status, response.status) << c.target;
    EXPECT_TRUE(Logged(c.logged)) << c.target;
  }
  // An unknown station has an empty station list, as the service answers.
  json empty = ShowList("20160131T060000/24H", 4711);
  ASSERT_EQ(2u, empty.size());
  EXPECT_TRUE(empty[1].is_array());
  EXPECT_TRUE(empty[1].empty());
  // The provider still serves normally afterwards.
  EXPECT_EQ(200, Fetch(kStations).status);
}

TEST_F(Documents, RequestsAreRecordedWithTheirHeaders) {
  Fetch(kHeaderInfo, "User-Agent: test-agent/1.0\r\n" + std::string(kGzip));
  Fetch("/a/service.fta.m3u");
  Fetch("/a/service.m3u");
  Fetch("/nothing");
  provider_->ClearFaults();
  Post(port_, "/_control/clear");  // control requests are not recorded
  std::vector<zu::provider::RequestRecord> records = provider_->Requests();
  ASSERT_EQ(4u, records.size());
  EXPECT_EQ(kHeaderInfo, records[0].target);
  EXPECT_EQ("test-agent/1.0", records[0].Header("user-agent"));
  EXPECT_EQ("gzip", records[0].Header("Accept-Encoding"));
  EXPECT_EQ("GET", records[0].method);
  EXPECT_EQ(2u, provider_->RequestCount("/a/service."));
  EXPECT_EQ(1u, provider_->RequestCount(zu::provider::Endpoint::kPlaylistAll));
  EXPECT_EQ(4u, provider_->RequestCount());
  EXPECT_TRUE(provider_->WaitForRequests("/a/service", 2, std::chrono::seconds(1)));
  provider_->ClearRequests();
  EXPECT_EQ(0u, provider_->RequestCount());
  EXPECT_EQ(0u, provider_->RequestCount(zu::provider::Endpoint::kPlaylistAll));
}

TEST(ProviderStart, OnlyLoopbackAddressesAreBound) {
  for (const char* host : {"0.0.0.0", "192.0.2.1", "::1", "example.org", ""}) {
    zu::provider::Catalogue catalogue;
    std::string error;
    ASSERT_TRUE(zu::provider::Catalogue::Generate(3, 0, catalogue, error));
    zu::provider::SampleProvider::Options options;
    options.host = host;
    std::string logged;
    options.log = [&logged](const std::string& line) { logged += line; };
    zu::provider::SampleProvider provider(std::move(catalogue), options);
    EXPECT_FALSE(provider.Start()) << host;
    EXPECT_EQ(0, provider.Port());
    EXPECT_NE(std::string::npos, logged.find("only loopback")) << host;
  }
  zu::provider::Catalogue catalogue;
  std::string error;
  ASSERT_TRUE(zu::provider::Catalogue::Generate(3, 0, catalogue, error));
  zu::provider::SampleProvider::Options options;
  options.host = "127.0.0.2";
  zu::provider::SampleProvider provider(std::move(catalogue), options);
  ASSERT_TRUE(provider.Start());
  EXPECT_EQ("http://127.0.0.2:" + std::to_string(provider.Port()), provider.BaseUrl());
  EXPECT_FALSE(provider.Start());  // once only
}

}  // namespace

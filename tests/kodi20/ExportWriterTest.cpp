#include <httplib.h>

#include <ctime>
#include <string>

#include <gtest/gtest.h>

#include "provider/Catalogue.h"
#include "provider/ExportWriter.h"
#include "provider/Guide.h"
#include "provider/SampleProvider.h"

namespace {

using namespace zu::provider;

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++count;
  return count;
}

void UseZone(const char* zone) {
  ::setenv("TZ", zone, 1);
  ::tzset();
}

TEST(PlainTextTest, ResolvesTheReferencesTheServiceSends) {
  EXPECT_EQ(PlainText("Tom &amp; Tina"), "Tom & Tina");
  EXPECT_EQ(PlainText("Jack&#39;s Diner"), "Jack's Diner");
  EXPECT_EQ(PlainText("Rock &#8217;n&#8217; Roll"), "Rock \xE2\x80\x99n\xE2\x80\x99 Roll");
  EXPECT_EQ(PlainText("&lt;b&gt; &quot;x&quot; &apos;y&apos;"), "<b> \"x\" 'y'");
  // What is no reference stays as it is.
  EXPECT_EQ(PlainText("Q&A"), "Q&A");
  EXPECT_EQ(PlainText("A &"), "A &");
  EXPECT_EQ(PlainText("&#;"), "&#;");
  EXPECT_EQ(PlainText("&#65"), "&#65");
  EXPECT_EQ(PlainText("&#0;"), "&#0;");
  EXPECT_EQ(PlainText("&#55296;"), "&#55296;");
  EXPECT_EQ(PlainText("&#99999999999;"), "&#99999999999;");
  EXPECT_EQ(PlainText("&amp;amp;"), "&amp;");
}

TEST(XmltvTimeTest, CarriesTheZonesOffsetAtThatTime) {
  UseZone("UTC");
  EXPECT_EQ(XmltvTime(MakeCivil(2024, 1, 15, 20, 15, 0)), "20240115201500 +0000");
  UseZone("CET-1CEST,M3.5.0,M10.5.0/3");
  EXPECT_EQ(XmltvTime(MakeCivil(2024, 1, 15, 20, 15, 0)), "20240115201500 +0100");
  EXPECT_EQ(XmltvTime(MakeCivil(2024, 7, 1, 6, 0, 5)), "20240701060005 +0200");
  UseZone("EST5");
  EXPECT_EQ(XmltvTime(MakeCivil(2024, 7, 1, 23, 59, 59)), "20240701235959 -0500");
  UseZone("IST-5:30");
  EXPECT_EQ(XmltvTime(MakeCivil(2024, 7, 1, 0, 0, 0)), "20240701000000 +0530");
}

TEST(StationGroupsTest, AreTheGroupsTheAddonFilesAStationUnder) {
  Station station;
  station.channelGroup = "Regional";
  station.flags = {"HD", "Replay"};
  station.products = {"Basis", "HD"};
  station.inFta = true;
  EXPECT_EQ(StationGroups(station),
            (std::vector<std::string>{"All", "Basis", "HD", "Nivo TV", "Regional", "Replay"}));
  station.inFta = false;
  station.inPlus = true;
  station.channelGroup.clear();
  station.flags.clear();
  EXPECT_EQ(StationGroups(station),
            (std::vector<std::string>{"All", "Basis", "HD", "Nivo TV Plus"}));
}

class ExportWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseZone("UTC");
    std::string error;
    ASSERT_TRUE(Catalogue::Generate(3, 2, catalogue_, error)) << error;
  }
  Catalogue catalogue_;
};

TEST_F(ExportWriterTest, PlaylistListsEveryStationAndRadio) {
  Guide guide(catalogue_);
  std::string playlist = ExportWriter(catalogue_, guide).Playlist("http://127.0.0.1:9");
  EXPECT_EQ(playlist.rfind("#EXTM3U\n", 0), 0u);
  EXPECT_EQ(Count(playlist, "#EXTINF:-1 "), 5u);
  EXPECT_EQ(Count(playlist, " radio=\"true\","), 2u);
  for (const Station& station : catalogue_.Stations()) {
    std::string groups;
    for (const std::string& group : StationGroups(station))
      groups += (groups.empty() ? "" : ";") + group;
    EXPECT_NE(playlist.find("#EXTINF:-1 tvg-id=\"" + std::to_string(station.uid) +
                            "\" tvg-name=\"" + station.name + "\" tvg-chno=\"" +
                            std::to_string(station.number) + "\" group-title=\"" + groups +
                            "\" tvg-logo=\"http://127.0.0.1:9/station/128x64/" + station.logoFile +
                            "\"," + station.name + "\nhttp://127.0.0.1:9/stream/" +
                            std::to_string(station.uid) + ".ts\n"),
              std::string::npos)
        << playlist;
  }
  EXPECT_NE(playlist.find("tvg-chno=\"10000\" group-title=\"" + catalogue_.Radio()[0].group +
                          "\" radio=\"true\"," + catalogue_.Radio()[0].name +
                          "\nhttp://127.0.0.1:9/radio/1.mp3\n"),
            std::string::npos)
      << playlist;
}

TEST_F(ExportWriterTest, XmltvHoldsTheShowsOfTheSpanAsPlainText) {
  Guide guide(catalogue_);
  const CivilSeconds from = MakeCivil(2024, 3, 1, 12, 30, 0);
  const CivilSeconds to = from + 2 * kSecondsPerDay;
  std::string xmltv = ExportWriter(catalogue_, guide).Xmltv("http://127.0.0.1:9", from, to);
  EXPECT_EQ(Count(xmltv, "<channel id="), 3u);
  size_t expected = 0;
  Period period;
  period.start = from;
  period.hours = 48;
  for (const Station& station : catalogue_.Stations()) {
    std::vector<Show> shows = guide.Overlapping(station, period);
    expected += shows.size();
    // The first show began before the span and is in; one starting at its end is not.
    ASSERT_FALSE(shows.empty());
    EXPECT_LT(shows.front().start, from);
    EXPECT_NE(xmltv.find("<programme start=\"" + XmltvTime(shows.front().start) + "\" stop=\"" +
                         XmltvTime(shows.front().end) + "\" channel=\"" +
                         std::to_string(station.uid) + "\">"),
              std::string::npos);
  }
  EXPECT_EQ(Count(xmltv, "<programme "), expected);
  EXPECT_EQ(Count(xmltv, "<title>"), expected);
  // References of the service are resolved, and what XML needs escaped is escaped once.
  EXPECT_EQ(xmltv.find("&amp;amp;"), std::string::npos);
  EXPECT_EQ(xmltv.find("&#"), std::string::npos);
  EXPECT_EQ(ExportWriter(catalogue_, guide).Xmltv("http://x", to, from).find("<programme"),
            std::string::npos);
}

TEST_F(ExportWriterTest, ProviderServesTheExports) {
  SampleProvider::Options options;
  options.log = [](const std::string&) {};
  SampleProvider provider(catalogue_, options);
  ASSERT_TRUE(provider.Start());
  httplib::Client client("127.0.0.1", provider.Port());
  client.set_read_timeout(std::chrono::seconds(30));
  auto playlist = client.Get("/export/playlist.m3u");
  ASSERT_TRUE(playlist);
  EXPECT_EQ(playlist->status, 200);
  EXPECT_EQ(Count(playlist->body, "#EXTINF:"), 5u);
  EXPECT_NE(playlist->body.find(provider.BaseUrl() + "/stream/"), std::string::npos);

  auto week = client.Get("/export/xmltv.xml?days=7&past=0");
  auto defaults = client.Get("/export/xmltv.xml");
  ASSERT_TRUE(week && defaults);
  EXPECT_EQ(week->status, 200);
  EXPECT_EQ(week->get_header_value("Content-Type"), "application/xml");
  EXPECT_EQ(defaults->status, 200);
  // Three days ahead and one back hold fewer shows than seven ahead.
  EXPECT_GT(Count(week->body, "<programme "), Count(defaults->body, "<programme "));
  EXPECT_GT(Count(defaults->body, "<programme "), 3u * 3 * 10);

  for (const char* bad :
       {"/export/xmltv.xml?days=15", "/export/xmltv.xml?past=-1", "/export/xmltv.xml?days=three"}) {
    auto refused = client.Get(bad);
    ASSERT_TRUE(refused) << bad;
    EXPECT_EQ(refused->status, 400) << bad;
  }
  EXPECT_EQ(provider.RequestCount("/export/"), 6u);
}

}  // namespace

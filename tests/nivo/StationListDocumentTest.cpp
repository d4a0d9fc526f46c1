#include <gtest/gtest.h>

#include <string>

#include "CapturedOutput.h"
#include "nivo/Json.h"
#include "nivo/StationListDocument.h"

namespace {

using zu::nivo::Channel;
using zu::nivo::Channels;
using zu::nivo::JsonError;
using zu::nivo::JsonSyntaxError;
using zu::nivo::ParseStationList;
using zu::nivo::RewriteLogoUri;

std::string Station(const std::string& uid, const std::string& name, const std::string& channel,
                    const std::string& logo = "http://img/logo/60x30/x.png") {
  return R"({"Station": {"UID": )" + uid + R"(, "DisplayName": ")" + name + R"(", "Channel": )" +
         channel + R"(, "Flags": ["HD"], "Products": ["Free", "HD"], "Logo": {"URI": ")" + logo +
         R"(", "Size": 3}, "Other": [1]}})";
}

std::string Document(std::initializer_list<std::string> stations) {
  std::string data;
  for (const std::string& station : stations)
    data += (data.empty() ? "" : ",") + station;
  return R"({"info": "x", "data": [)" + data + "]}";
}

TEST(StationList, BuildsChannelsFromTheDocument) {
  const Channels channels = ParseStationList(
      Document({Station("5", "Das Erste", R"(["ARD", 1])"), Station("7", "ZDF", R"(["X", 7])")}),
      Channels());
  ASSERT_EQ(2u, channels.size());
  const Channel& ard = channels.at(5);
  EXPECT_EQ("Das Erste", ard.name);
  EXPECT_EQ(5u, ard.uid);
  EXPECT_EQ(1u, ard.number);
  EXPECT_EQ((std::set<std::string>{"ARD", "Free", "HD"}), ard.groups);
  EXPECT_EQ("http://img/station/128x64/x.png", ard.logoUri);
  EXPECT_EQ("", ard.streamUrl);
  EXPECT_FALSE(ard.isRadio);
  EXPECT_EQ(7u, channels.at(7).number);
  EXPECT_EQ(1u, channels.at(7).groups.count("X"));
  EXPECT_TRUE(ParseStationList(R"({"data": []})", Channels()).empty());
}

TEST(StationList, IdsAndNumbersKeepTheirLow32Bits) {
  const Channels channels = ParseStationList(
      Document({Station("4294967301", "Big", R"(["G", 4294967298])")}), Channels());
  ASSERT_EQ(1u, channels.count(5));
  EXPECT_EQ(2u, channels.at(5).number);
}

TEST(StationList, LogoRewriteTouchesOnlyTheFirstOccurrences) {
  EXPECT_EQ("http://h/station/128x64/logo/60x30/a.png",
            RewriteLogoUri("http://h/logo/60x30/logo/60x30/a.png"));
  EXPECT_EQ("http://h/img/a.png", RewriteLogoUri("http://h/img/a.png"));
  // The second search runs on the result of the first.
  EXPECT_EQ("http://h/a/station/128x64/b.png", RewriteLogoUri("http://h/a/logo/60x30/b.png"));
  EXPECT_EQ("", RewriteLogoUri(""));
}

TEST(StationList, MergesWithThePreviousTable) {
  Channels previous;
  Channel cached;
  cached.uid = 5;
  cached.name = "Old name";
  cached.number = 99;
  cached.streamUrl = "http://tv/5.ts";
  cached.isRadio = true;
  cached.groups = {"Old group"};
  previous[5] = cached;
  Channel gone;
  gone.uid = 6;
  gone.streamUrl = "http://tv/6.ts";
  previous[6] = gone;

  const Channels channels = ParseStationList(
      Document({Station("5", "First", R"(["A", 1])"), Station("8", "Other", R"(["B", 2])"),
                Station("5", "New name", R"(["C", 3])")}),
      previous);
  ASSERT_EQ(2u, channels.size());
  EXPECT_EQ(0u, channels.count(6));
  const Channel& merged = channels.at(5);
  // The later station of the same id wins; the stream URL and radio flag carry over.
  EXPECT_EQ("New name", merged.name);
  EXPECT_EQ(3u, merged.number);
  EXPECT_EQ("http://tv/5.ts", merged.streamUrl);
  EXPECT_TRUE(merged.isRadio);
  EXPECT_EQ((std::set<std::string>{"C", "Free", "HD"}), merged.groups);
  EXPECT_EQ(cached, previous.at(5));
}

TEST(StationList, ShortChannelArraySkipsOnlyThatStation) {
  zu::testing::CapturedOutput output;
  const Channels channels =
      ParseStationList(Document({Station("5", "A", R"(["ARD"])"), Station("6", "B", "[]"),
                                 Station("7", "C", R"(["ZDF", 2])")}),
                       Channels());
  ASSERT_EQ(1u, channels.size());
  EXPECT_EQ(1u, channels.count(7));
  ASSERT_EQ(2u, output.Lines().size());
  EXPECT_EQ(1u, output.Count("UID 5"));
  EXPECT_EQ(1u, output.Count("UID 6"));
  EXPECT_EQ(2u, output.Count("NivoTV"));
}

template <class Error>
std::string ErrorOf(const std::string& body) {
  try {
    ParseStationList(body, Channels());
  } catch (const Error& e) {
    return e.what();
  }
  return "";
}

TEST(StationList, MalformedDocumentsRaiseTheJsonErrors) {
  EXPECT_NE(std::string::npos, ErrorOf<JsonError>(R"({"stations": []})").find("member 'data'"));
  EXPECT_NE(std::string::npos, ErrorOf<JsonError>(R"({"data": {}})").find("not an array"));
  EXPECT_NE(std::string::npos,
            ErrorOf<JsonError>(Document({R"({"Station": {"DisplayName": "A"}})"}))
                .find("member 'UID' not found"));
  EXPECT_NE("", ErrorOf<JsonError>(Document({Station("\"5\"", "A", R"(["A", 1])")})));
  EXPECT_NE("", ErrorOf<JsonError>(Document({Station("5", "A", R"([1, 1])")})));
  EXPECT_NE("", ErrorOf<JsonError>(Document({Station("5", "A", R"(["A", "1"])")})));
  EXPECT_NE("", ErrorOf<JsonError>("[]"));
  EXPECT_NE("", ErrorOf<JsonSyntaxError>("<html>Service unavailable</html>"));
  EXPECT_NE("",
            ErrorOf<JsonSyntaxError>(Document({Station("5", "A", R"(["A", 1])")}).substr(0, 50)));
}

}  // namespace

// The show list and show details readers on their own: requests, headers, pieces, and what
// ends a fetch.

#include "GuideFixture.h"
#include "nivo/HttpPageReader.h"
#include "nivo/JsonReader.h"

namespace guide_test {
namespace {

using boost::posix_time::hours;
using boost::posix_time::minutes;
using boost::posix_time::ptime;
using boost::posix_time::time_from_string;

class JsonReaderGuideTest : public GuideCoreTest {
 protected:
  void SetUp() override {
    GuideCoreTest::SetUp();
    Core();  // routes the log to the host
    channel.uid = 4711;
    channel.name = "Test";
  }
  // Answers the show list requests in turn with the bodies (the last one repeats).
  void Answer(const std::vector<ScriptedProvider::Response>& responses) {
    auto next = std::make_shared<size_t>(0);
    provider.SetHandler([responses, next](const std::string&) {
      const size_t index = std::min(*next, responses.size() - 1);
      ++*next;
      return responses[index];
    });
  }
  zu::nivo::TVShows Read(const ptime& from, const ptime& to) {
    zu::nivo::JsonReader reader(pageReader);
    return reader.ReadShowsOfTVChannel(channel, from, to);
  }
  std::vector<std::string> Periods() {
    std::vector<std::string> periods;
    for (const std::string& target : provider.Targets(kShowListPrefix)) {
      const std::string::size_type from = target.find("period=") + 7;
      periods.push_back(target.substr(from, target.find('&') - from));
    }
    return periods;
  }

  zu::SharedPtr<zu::nivo::HttpPageReader> pageReader = zu::nivo::HttpPageReader::Create();
  zu::nivo::Channel channel;
  const ptime from = time_from_string("2016-01-31 06:00:00");
};

TEST_F(JsonReaderGuideTest, EachPieceAsksForJsonWithAFreshUserAgent) {
  Serve({});
  Read(from, from + hours(48));
  const std::vector<ScriptedProvider::Request> requests = provider.Requests();
  ASSERT_EQ(2u, requests.size());
  for (const ScriptedProvider::Request& request : requests) {
    EXPECT_EQ("application/json", request.headers.at("Accept"));
    EXPECT_NE(std::string::npos, request.headers.at("User-Agent").find("Mobile"));
  }
  EXPECT_NE(requests[0].headers.at("User-Agent"), requests[1].headers.at("User-Agent"));
}

TEST_F(JsonReaderGuideTest, ShowsComeInDocumentOrderPieceAfterPiece) {
  const time_t start = Utc(2016, 1, 31, 6);
  Answer({{200,
           "[{}, [[4711, \"Test\", [[\"3\", \"2016-01-31T06:00:00\", \"2016-01-31T07:00:00\","
           " \"Three\", \"Sub\", [\"News\", null, \"Info\"], \"DE\", \"1999\"], [\"short\"],"
           " [\"1\", \"2016-01-31T07:00:00\", \"2016-01-31T08:00:00\", \"One\"]]]]]"},
          {200, ShowListBody(4711, {{2, start + 86400, start + 90000, "Two"}})}});
  const zu::nivo::TVShows shows = Read(from, from + hours(30));
  EXPECT_EQ((std::vector<unsigned int>{3, 1, 2}), Ids(shows));
  ASSERT_EQ(3u, shows.size());
  EXPECT_EQ("Info/News", shows[0].genreText);
  EXPECT_EQ(1999u, shows[0].year);
  EXPECT_EQ(time_from_string("2016-02-01 06:00:00"), shows[2].start);
  // The count names every element of the piece, also the one skipped.
  EXPECT_EQ(1u, host.CountLines("Reading 3 TV shows of Test", zu::nivo::Host::LogInfo));
  EXPECT_EQ(1u, host.CountLines("Reading 1 TV shows of Test", zu::nivo::Host::LogInfo));
}

TEST_F(JsonReaderGuideTest, AMissingStationEndsTheFetch) {
  for (const std::string& body : {std::string("[{}]"), std::string("[{}, []]")}) {
    provider.ClearRequests();
    Answer({{200, body}});
    EXPECT_TRUE(Read(from, from + hours(48)).empty());
    EXPECT_EQ(1u, Periods().size()) << body;
  }
  EXPECT_EQ(2u, host.CountLines("No station info found'Test'", zu::nivo::Host::LogError));
}

TEST_F(JsonReaderGuideTest, DetailsAreRequestedWithTheBrowserHeaders) {
  Serve({{4711, Utc(2016, 1, 31, 6), Utc(2016, 1, 31, 7), "Salt &amp; Pepper"}});
  zu::nivo::TVShow show;
  show.id = 4711;
  show.title = "Listed";
  zu::nivo::JsonReader(pageReader).ReadShowDetails(show);
  EXPECT_TRUE(show.detailsRead);
  EXPECT_EQ("Salt & Pepper", show.title);
  const std::vector<ScriptedProvider::Request> requests = provider.Requests();
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ("/a/api.mobile.event.get?type=JSON.3&evid=4711", requests[0].target);
  const std::map<std::string, std::string>& headers = requests[0].headers;
  EXPECT_EQ("text/html,application/xhtml+xml,application/xml;q=0.9,image/webp,*/*;q=0.8",
            headers.at("Accept"));
  EXPECT_EQ("gzip, deflate, sdch", headers.at("Accept-Encoding"));
  EXPECT_EQ("en-US,en;q=0.8", headers.at("Accept-Language"));
  EXPECT_EQ("max-age=0", headers.at("Cache-Control"));
  EXPECT_NE(std::string::npos, headers.at("User-Agent").find("Mobile"));
  EXPECT_EQ(1u, host.CountLines("Reading show details of 'Listed'", zu::nivo::Host::LogInfo));
}

TEST_F(JsonReaderGuideTest, AnEmptyDetailsPageLeavesTheShowUnchanged) {
  Answer({{200, ""}});
  zu::nivo::TVShow show;
  show.id = 8;
  show.title = "Unread";
  const zu::nivo::TVShow before = show;
  zu::nivo::JsonReader(pageReader).ReadShowDetails(show);
  EXPECT_EQ(before, show);
  EXPECT_EQ(1u,
            host.CountLines("failed reading show details of 'Unread'", zu::nivo::Host::LogError));
}

}  // namespace
}  // namespace guide_test

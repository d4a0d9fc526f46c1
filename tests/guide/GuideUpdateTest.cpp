// The guide request of the client core against a scripted provider: what is fetched, what the
// host gets, what the guide cache holds, and how reader failures are reported.

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "GuideFixture.h"
#include "nivo/CacheArchive.h"
#include "nivo/ShowListDocument.h"

namespace guide_test {
namespace {

using zu::nivo::TVShow;
using zu::nivo::TVShows;

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Four shows around now: the first has started, the other three are still to come.
class DetailsTest : public GuideCoreTest {
 protected:
  void SetUp() override {
    GuideCoreTest::SetUp();
    const time_t now = time(nullptr);
    hour = now - now % 3600;
    shows = {{11, hour - 3600, hour + 3600, "Started"},
             {12, hour + 3600, hour + 7200, "Second"},
             {13, hour + 7200, hour + 10800, "Third"},
             {14, hour + 10800, hour + 14400, "Fourth"}};
    AddChannel(1, "Erstes", 101);
    // The radio channel's requests complete the first round, and the update thread then
    // switches to detailed mode at once (see EnterDetailedMode).
    AddChannel(10000, "Radio", 10000, true);
    options.epgUpdateWait = zu::Time::Zero();
  }
  std::vector<unsigned int> DetailsRequested() {
    std::vector<unsigned int> ids;
    for (const std::string& target : provider.Targets(kDetailsPrefix))
      ids.push_back(DetailsId(target));
    provider.ClearRequests();
    return ids;
  }
  std::vector<RecordingHost::Entry> Request() { return RequestGuide(1, hour - 3600, hour + 14400); }
  std::vector<bool> CachedDetailsRead() {
    std::vector<bool> read;
    for (const TVShow& show : zu::nivo::ReadShowsArchive(ReadText(CacheFile(1))))
      read.push_back(show.detailsRead);
    return read;
  }

  time_t hour = 0;
  std::vector<ShowSpec> shows;
};

TEST_F(DetailsTest, DetailsAreReadInDetailedModeOnceForEachShowStillToCome) {
  Serve(shows);
  std::vector<RecordingHost::Entry> entries = Request();
  EXPECT_EQ((std::vector<unsigned int>{11, 12, 13, 14}), Ids(entries));
  EXPECT_TRUE(DetailsRequested().empty()) << "no details before detailed mode";

  EnterDetailedMode();
  entries = Request();
  EXPECT_EQ((std::vector<unsigned int>{12, 13, 14}), DetailsRequested());
  ASSERT_EQ(4u, entries.size());
  EXPECT_EQ("", entries[0].show.description);
  EXPECT_EQ("About Second", entries[1].show.description);
  EXPECT_EQ("About Fourth", entries[3].show.description);
  EXPECT_EQ(60u, entries[3].show.duration);
  EXPECT_EQ(101u, entries[3].channelNumber);
  EXPECT_EQ((std::vector<bool>{false, true, true, true}), CachedDetailsRead());

  // Read once: neither the cached shows nor the details are requested again.
  entries = Request();
  EXPECT_TRUE(provider.Targets(kShowListPrefix).empty());
  EXPECT_TRUE(DetailsRequested().empty());
  ASSERT_EQ(4u, entries.size());
  EXPECT_EQ("About Third", entries[2].show.description);
}

// Titles are kept as the provider delivered them until their details are read; the host never
// sees their entities, neither fresh from the provider nor from the cache.
TEST_F(DetailsTest, TheHostGetsTitlesDecodedWhileTheCacheKeepsThemAsDelivered) {
  // Two requests complete the first round; the update thread must not switch modes here.
  options.epgUpdateWait = zu::Time::FromSeconds(3600);
  shows[1].title = "Salt &amp; Pepper";
  shows[2].title = "Q&A &#8211; live";
  Serve(shows);
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<RecordingHost::Entry> entries = Request();
    ASSERT_EQ(4u, entries.size()) << pass;
    EXPECT_EQ("Started", entries[0].show.title);
    EXPECT_EQ("Salt & Pepper", entries[1].show.title) << pass;
    EXPECT_EQ("Q&A \xE2\x80\x93 live", entries[2].show.title) << pass;
  }
  const TVShows cached = zu::nivo::ReadShowsArchive(ReadText(CacheFile(1)));
  ASSERT_EQ(4u, cached.size());
  EXPECT_EQ("Salt &amp; Pepper", cached[1].title);
  EXPECT_EQ("Q&A &#8211; live", cached[2].title);
}

TEST_F(DetailsTest, AFailingDetailsDocumentLeavesTheLaterShowsForTheNextRequest) {
  Serve(shows);
  Request();
  const std::string broken = "{\"data\": [{\"Event\": ";
  provider.SetHandler([this, broken](const std::string& target) {
    ScriptedProvider::Response response;
    response.body = DetailsId(target) == 13 ? broken : DetailsBody("Show " + target);
    return response;
  });
  EnterDetailedMode();

  std::vector<RecordingHost::Entry> entries = Request();
  EXPECT_EQ((std::vector<unsigned int>{12, 13}), DetailsRequested());
  EXPECT_EQ(1u, host.CountLines("Failed reading detailed EPG of Erstes:Third (" +
                                SyntaxReason(broken) + ")"));
  // Every show still goes to the host and into the cache, the third unchanged.
  EXPECT_EQ((std::vector<unsigned int>{11, 12, 13, 14}), Ids(entries));
  EXPECT_EQ("Third", entries[2].show.title);
  EXPECT_EQ((std::vector<bool>{false, true, false, false}), CachedDetailsRead());

  Serve(shows);
  entries = Request();
  EXPECT_EQ((std::vector<unsigned int>{13, 14}), DetailsRequested());
  EXPECT_EQ((std::vector<bool>{false, true, true, true}), CachedDetailsRead());
}

// Ids the provider gives that are no 32-bit number: each of these shows gets id 0, is kept
// apart from the others by its start, and is never asked for details (event 0 is some other
// show, or none).
TEST_F(DetailsTest, ShowsWithoutAUsableIdAreAllKeptAndGetNoDetailsRequest) {
  const std::vector<std::string> ids = {"abc", "x-1", "", "-5", "0", "1234567890123456789012345"};
  nlohmann::json items = nlohmann::json::array();
  for (size_t i = 0; i < ids.size(); ++i) {
    const time_t start = hour + static_cast<time_t>(3600 * i);
    items.push_back({ids[i], Extended(start), Extended(start + 3600), "Show " + ids[i]});
  }
  const std::string body =
      nlohmann::json::array({nlohmann::json::object(),
                             nlohmann::json::array({nlohmann::json::array({1, "S", items})})})
          .dump();
  provider.SetHandler([body](const std::string& target) {
    return target.rfind(kShowListPrefix, 0) == 0
               ? ScriptedProvider::Response{200, body}
               : ScriptedProvider::Response{200, DetailsBody("?")};
  });
  EnterDetailedMode();
  for (int pass = 0; pass < 2; ++pass) {
    const std::vector<RecordingHost::Entry> entries = RequestGuide(1, hour, hour + 6 * 3600);
    ASSERT_EQ(ids.size(), entries.size()) << pass;
    for (size_t i = 0; i < ids.size(); ++i) {
      EXPECT_EQ(0u, entries[i].show.id) << ids[i];
      EXPECT_EQ("Show " + ids[i], entries[i].show.title) << pass;
    }
  }
  EXPECT_EQ(1u, provider.Targets(kShowListPrefix).size());
  EXPECT_TRUE(DetailsRequested().empty());
}

TEST_F(DetailsTest, AnEmptyDetailsPageIsLoggedAndThePassGoesOn) {
  Serve(shows);
  Request();
  provider.SetHandler([](const std::string& target) {
    ScriptedProvider::Response response;
    if (DetailsId(target) == 12)
      response.status = 500;
    else
      response.body = DetailsBody("Detailed");
    return response;
  });
  EnterDetailedMode();
  Request();
  EXPECT_EQ((std::vector<unsigned int>{12, 13, 14}), DetailsRequested());
  EXPECT_EQ(1u, host.CountLines("failed reading show details of 'Second'"));
  EXPECT_EQ((std::vector<bool>{false, false, true, true}), CachedDetailsRead());
}

TEST_F(GuideCoreTest, TheFetchStartsAtTheLatestCachedEnd) {
  AddChannel(1, "Erstes", 1);
  const time_t start = Utc(2016, 1, 31, 6);
  Serve({{1, start, start + 5400, "Long"}});
  RequestGuide(1, start, start + 3600);
  provider.ClearRequests();
  RequestGuide(1, start, start + 5 * 3600 + 1800);
  // From 07:30 to 11:30: four whole hours.
  EXPECT_EQ(
      (std::vector<std::string>{"/a/api.mobile.event.hour?period=20160131T073000/4H&stationuid=1"}),
      provider.Targets(kShowListPrefix));
}

TEST_F(GuideCoreTest, ShowsReadAgainAreHandedOverOnceInStartOrderKeepingTheirDetails) {
  AddChannel(1, "Erstes", 1);
  const time_t start = Utc(2016, 1, 31, 6);
  TVShow kept;
  kept.id = 2;
  kept.title = "Kept";
  kept.description = "with details";
  kept.detailsRead = true;
  kept.start = Local(start);
  kept.end = Local(start + 3600);
  StoreGuide(1, {kept});
  // A provider that repeats every show in every piece.
  Serve({{1, start - 3600, start, "Before"},
         {2, start, start + 3600, "Again"},
         {3, start + 3600, start + 30 * 3600, "Across the pieces"},
         {4, start + 30 * 3600, start + 50 * 3600, "Later"}});
  std::vector<RecordingHost::Entry> entries = RequestGuide(1, start, start + 49 * 3600);
  EXPECT_EQ(2u, provider.Targets(kShowListPrefix).size());
  EXPECT_EQ((std::vector<unsigned int>{1, 2, 3, 4}), Ids(entries));
  EXPECT_EQ("with details", entries[1].show.description);
  EXPECT_EQ((std::vector<unsigned int>{1, 2, 3, 4}),
            Ids(zu::nivo::ReadShowsArchive(ReadText(CacheFile(1)))));
}

TEST_F(GuideCoreTest, ARequestThatThrowsLeavesTheStoredGuideAsItWas) {
  // The kept shows leave the stored guide during the request; when the request ends in an
  // exception, the guide must hold them again, whole, together with the show the request would
  // have dropped.
  AddChannel(1, "Erstes", 1);
  const time_t start = Utc(2016, 1, 31, 6);
  TVShow old;
  old.id = 1;
  old.title = "Over";
  old.start = Local(start - 7200);
  old.end = Local(start - 3600);
  TVShow kept = old;
  kept.id = 2;
  kept.title = "Kept";
  kept.description = "with details";
  kept.AddGenre("Info");
  kept.persons = {{"Actor", "A"}};
  kept.start = Local(start);
  kept.end = Local(start + 3600);
  const TVShows before{old, kept};
  StoreGuide(1, before);
  Serve({{3, start + 3600, start + 7200, "New"}});
  host.beforeEntry = [] { throw std::runtime_error("host refused"); };
  EXPECT_THROW(Update(1, start, start + 2 * 3600), std::runtime_error);
  EXPECT_EQ(before, zu::nivo::ReadShowsArchive(ReadText(CacheFile(1))));

  // A window that reaches back to the old show finds both stored shows as they were.
  host.beforeEntry = nullptr;
  std::vector<RecordingHost::Entry> entries = RequestGuide(1, start - 7200, start + 2 * 3600);
  EXPECT_EQ((std::vector<unsigned int>{1, 2, 3}), Ids(entries));
  ASSERT_EQ(3u, entries.size());
  EXPECT_EQ("with details", entries[1].show.description);

  EXPECT_EQ((std::vector<unsigned int>{2, 3}), Ids(RequestGuide(1, start, start + 2 * 3600)));
  const TVShows cached = zu::nivo::ReadShowsArchive(ReadText(CacheFile(1)));
  EXPECT_EQ((std::vector<unsigned int>{2, 3}), Ids(cached));
  ASSERT_FALSE(cached.empty());
  EXPECT_EQ("with details", cached[0].description);
}

TEST_F(GuideCoreTest, ReaderFailuresAreReportedWithTheirTextAndTheKeptShowsAreServed) {
  AddChannel(1, "Erstes", 1);
  const time_t start = Utc(2016, 1, 31, 6);
  Serve({{1, start, start + 3600, "First"}});
  RequestGuide(1, start, start + 3600);

  const std::string notJson = "[{}, [[1, \"Station\", [[\"2\", \"2016-01-31T07:00:00\"";
  provider.SetHandler([notJson](const std::string&) {
    return ScriptedProvider::Response{200, notJson};
  });
  EXPECT_EQ((std::vector<unsigned int>{1}), Ids(RequestGuide(1, start, start + 3 * 3600)));
  EXPECT_EQ(1u, host.CountLines("Failed reading EPG of Erstes (" + SyntaxReason(notJson) + ")",
                                zu::nivo::Host::LogError));

  // A value of the wrong type: the JSON layer's own text.
  const std::string numberId =
      "[{}, [[1, \"Station\", [[2, \"2016-01-31T07:00:00\", \"x\", \"y\"]]]]]";
  provider.SetHandler([numberId](const std::string&) {
    return ScriptedProvider::Response{200, numberId};
  });
  EXPECT_EQ((std::vector<unsigned int>{1}), Ids(RequestGuide(1, start, start + 3 * 3600)));
  std::string expected;
  try {
    zu::nivo::ParseShowListPiece(numberId);
  } catch (const std::exception& e) {
    expected = e.what();
  }
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(1u, host.CountLines("Failed reading EPG of Erstes (" + expected + ")"));

  // A time the parser rejects.
  const std::string badTime =
      "[{}, [[1, \"Station\", [[\"2\", \"31.01.2016 07:00\", \"x\", \"y\"]]]]]";
  provider.SetHandler([badTime](const std::string&) {
    return ScriptedProvider::Response{200, badTime};
  });
  EXPECT_EQ((std::vector<unsigned int>{1}), Ids(RequestGuide(1, start, start + 3 * 3600)));
  EXPECT_EQ(1u,
            host.CountLines("Failed reading EPG of Erstes (invalid show time '31.01.2016 07:00'"));
  EXPECT_EQ((std::vector<unsigned int>{1}),
            Ids(zu::nivo::ReadShowsArchive(ReadText(CacheFile(1)))));
}

TEST_F(GuideCoreTest, AStationRecordOfTheWrongShapeYieldsNothingAndTheNextPieceIsRequested) {
  AddChannel(1, "Erstes", 1);
  const time_t start = Utc(2016, 1, 31, 6);
  const std::string later = ShowListBody(1, {{7, start + 25 * 3600, start + 26 * 3600, "Later"}});
  provider.SetHandler([later](const std::string& target) {
    ScriptedProvider::Response response;
    if (target.find("period=20160131T060000/") != std::string::npos)
      response.body =
          "[{}, [[\"1\", \"Station\", [[\"5\", \"2016-01-31T06:00:00\", "
          "\"2016-01-31T07:00:00\", \"Lost\"]]]]]";
    else
      response.body = later;
    return response;
  });
  EXPECT_EQ((std::vector<unsigned int>{7}), Ids(RequestGuide(1, start, start + 48 * 3600)));
  EXPECT_EQ(2u, provider.Targets(kShowListPrefix).size());
  EXPECT_EQ(0u, host.CountLines("", zu::nivo::Host::LogError));
}

TEST_F(GuideCoreTest, RadioChannelsHaveNoGuide) {
  AddChannel(10000, "Radio", 10000, true);
  EXPECT_TRUE(Update(10000, Utc(2016, 1, 31), Utc(2016, 2, 1)));
  EXPECT_TRUE(host.TakeEntries().empty());
  EXPECT_TRUE(provider.Requests().empty());
  std::ifstream file(CacheFile(10000));
  EXPECT_FALSE(file.good());
}

}  // namespace
}  // namespace guide_test

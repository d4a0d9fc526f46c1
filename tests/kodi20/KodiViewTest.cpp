#include <httplib.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "kodi20/check/JsonRpc.h"
#include "kodi20/check/KodiView.h"

namespace {

using namespace zu::kodi20::check;
using nlohmann::json;

// Answers JSON-RPC calls by method name with canned replies, like Kodi's web server would.
class FakeKodi {
 public:
  FakeKodi() {
    server_.Post("/jsonrpc", [this](const httplib::Request& request, httplib::Response& response) {
      json call = json::parse(request.body);
      calls.push_back(call);
      auto found = replies.find(call.value("method", std::string()));
      if (found == replies.end()) {
        response.status = 500;
        return;
      }
      json reply = found->second;
      reply["jsonrpc"] = "2.0";
      reply["id"] = call["id"];
      response.set_content(reply.dump(), "application/json");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // stop() only ends a running server.
    for (int wait = 0; wait < 1000 && !server_.is_running(); ++wait)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ~FakeKodi() {
    server_.stop();
    thread_.join();
  }
  int Port() const { return port_; }

  std::map<std::string, json> replies;  // method -> {"result": ...} or {"error": ...}
  std::vector<json> calls;

 private:
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
};

Lineup SmallLineup() {
  Lineup lineup;
  LineupChannel one;
  one.number = 1;
  one.name = "One";
  one.groups = {"News", "All"};
  LineupChannel two;
  two.number = 2;
  two.name = "Two";
  two.groups = {"All"};
  LineupChannel radio;
  radio.number = 10000;
  radio.name = "Radio";
  radio.radio = true;
  radio.groups = {"Pop"};
  lineup.channels = {two, one, radio};
  return lineup;
}

TEST(KodiTimeTest, ReadsKodisTimeForms) {
  std::int64_t t = 0;
  ASSERT_TRUE(ParseKodiTime("2024-03-01 10:05:07", t));
  EXPECT_EQ(t, 1709287507);
  ASSERT_TRUE(ParseKodiTime("2024-03-01T10:05:07Z", t));
  EXPECT_EQ(t, 1709287507);
  EXPECT_EQ(FormatUtc(1709287507), "2024-03-01 10:05:07");
  for (const char* bad : {"", "2024-03-01", "2024-03-01 10:05", "2024-13-01 10:05:07",
                          "2024-03-01 10:05:07+01:00", "2024-03-01X10:05:07", "yesterday"}) {
    t = 42;
    EXPECT_FALSE(ParseKodiTime(bad, t)) << bad;
    EXPECT_EQ(t, 42) << bad;
  }
}

TEST(CompareChannelsTest, NamesEveryDifference) {
  Lineup lineup = SmallLineup();
  EXPECT_TRUE(CompareChannels(lineup, false, {{7, "One", 1}, {8, "Two", 2}}).empty());
  EXPECT_TRUE(CompareChannels(lineup, true, {{9, "Radio", 10000}}).empty());

  std::vector<std::string> differences =
      CompareChannels(lineup, false, {{7, "One", 3}, {8, "Three", 2}, {9, "Three", 4}});
  ASSERT_EQ(differences.size(), 4u);
  EXPECT_EQ(differences[0], "Kodi lists channel \"Three\" twice");
  EXPECT_EQ(differences[1], "channel \"One\" has number 3, expected 1");
  EXPECT_EQ(differences[2], "channel 2 \"Two\" is missing");
  EXPECT_EQ(differences[3], "unexpected channel 2 \"Three\"");
  // A radio channel listed among TV ones is not taken for the TV channel it is not.
  EXPECT_EQ(CompareChannels(lineup, false, {{9, "Radio", 10000}}).size(), 3u);
}

TEST(CompareGroupsTest, ComparesNamesAndMembersAsSets) {
  Lineup lineup = SmallLineup();
  EXPECT_TRUE(CompareGroupNames(lineup, false, {{1, "News"}, {2, "All"}}).empty());
  std::vector<std::string> names = CompareGroupNames(lineup, false, {{1, "All"}, {3, "Pop"}});
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[0], "group \"News\" is missing");
  EXPECT_EQ(names[1], "unexpected group \"Pop\"");

  EXPECT_TRUE(CompareGroupMembers(lineup, "All", false, {{1, "Two", 2}, {2, "One", 1}}).empty());
  std::vector<std::string> members = CompareGroupMembers(lineup, "News", false, {{2, "Two", 2}});
  ASSERT_EQ(members.size(), 2u);
  EXPECT_EQ(members[0], "group \"News\" lacks \"One\"");
  EXPECT_EQ(members[1], "group \"News\" has \"Two\", which is not its member");

  // A name shared by TV and radio channels is a group of each kind, holding the channels of
  // that kind.
  LineupChannel shared;
  shared.number = 10001;
  shared.name = "Radio News";
  shared.radio = true;
  shared.groups = {"News", "Talk"};
  lineup.channels.push_back(shared);
  EXPECT_EQ(lineup.Groups(false), (std::vector<std::string>{"All", "News"}));
  EXPECT_EQ(lineup.Groups(true), (std::vector<std::string>{"Pop", "News", "Talk"}));
  EXPECT_TRUE(CompareGroupMembers(lineup, "News", false, {{2, "One", 1}}).empty());
  EXPECT_TRUE(CompareGroupMembers(lineup, "News", true, {{9, "Radio News", 10001}}).empty());
  EXPECT_TRUE(CompareGroupMembers(lineup, "Talk", true, {{9, "Radio News", 10001}}).empty());
}

TEST(CompareGuideTest, MatchesTitlesAndTimesWithinTheWindow) {
  std::vector<LineupShow> shows = {{"Early", "", 1000, 2000},
                                   {"Tom &amp; Tina", "Tom & Tina", 2000, 3000},
                                   {"Late", "", 3000, 9000},
                                   {"Beyond", "", 9000, 12000}};
  const std::int64_t from = 1500, until = 9000;
  std::vector<KodiBroadcast> all = {
      {"Early", 1000, 2000}, {"Tom & Tina", 2000, 3000}, {"Late", 3000, 9000}};
  EXPECT_TRUE(CompareGuide("C", shows, all, from, until).empty());
  // The title as delivered is as good as the plain one; a show outside the window may be
  // missing.
  all[1].title = "Tom &amp; Tina";
  all.erase(all.begin());
  EXPECT_TRUE(CompareGuide("C", shows, all, from, until).empty());

  std::vector<KodiBroadcast> wrong = {
      {"Tom and Tina", 2000, 3000}, {"Late", 3000, 8999}, {"Invented", 4000, 5000}};
  std::vector<std::string> differences = CompareGuide("C", shows, wrong, from, until);
  ASSERT_EQ(differences.size(), 3u);
  EXPECT_EQ(differences[0],
            "\"C\" at 1970-01-01 00:33:20: Kodi has \"Tom and Tina\", expected \"Tom & Tina\"");
  EXPECT_EQ(differences[1],
            "\"C\" at 1970-01-01 00:50:00: \"Late\" ends at 1970-01-01 02:29:59, "
            "expected 1970-01-01 02:30:00");
  EXPECT_EQ(differences[2],
            "\"C\" at 1970-01-01 01:06:40: Kodi has \"Invented\", the provider "
            "no show starting then");

  differences = CompareGuide("C", shows, {}, from, until);
  ASSERT_EQ(differences.size(), 2u);
  EXPECT_EQ(differences[0], "\"C\": \"Tom &amp; Tina\" at 1970-01-01 00:33:20 is missing");
  EXPECT_EQ(differences[1], "\"C\": \"Late\" at 1970-01-01 00:50:00 is missing");
}

TEST(KodiViewTest, ReadsChannelsGroupsAndBroadcasts) {
  FakeKodi kodi;
  kodi.replies["PVR.GetChannels"] = {
      {"result",
       {{"channels",
         {{{"channelid", 12}, {"label", "One"}, {"channelnumber", 1}},
          {{"channelid", 13}, {"label", "Zwei & Drei"}, {"channelnumber", 23}}}},
        {"limits", {{"total", 2}}}}}};
  kodi.replies["PVR.GetChannelGroups"] = {{"result",
                                           {{"channelgroups",
                                             {{{"channelgroupid", 1}, {"label", "All channels"}},
                                              {{"channelgroupid", 5}, {"label", "News"}}}}}}};
  kodi.replies["PVR.GetBroadcasts"] = {{"result",
                                        {{"broadcasts",
                                          {{{"title", "Night Film"},
                                            {"starttime", "2024-03-01 22:00:00"},
                                            {"endtime", "2024-03-02 00:15:00"}}}}}}};
  JsonRpc rpc(kodi.Port());
  std::string error;

  std::vector<KodiChannel> channels;
  ASSERT_TRUE(ReadChannels(rpc, true, channels, error)) << error;
  ASSERT_EQ(channels.size(), 2u);
  EXPECT_EQ(channels[1].id, 13);
  EXPECT_EQ(channels[1].name, "Zwei & Drei");
  EXPECT_EQ(channels[1].number, 23u);
  EXPECT_EQ(kodi.calls.back()["params"]["channelgroupid"], "allradio");
  ASSERT_TRUE(ReadGroupMembers(rpc, 5, channels, error)) << error;
  EXPECT_EQ(kodi.calls.back()["params"]["channelgroupid"], 5);

  std::vector<KodiGroup> groups;
  ASSERT_TRUE(ReadGroups(rpc, false, groups, error)) << error;
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_EQ(groups[0].id, 5);
  EXPECT_EQ(groups[0].name, "News");
  EXPECT_EQ(kodi.calls.back()["params"]["channeltype"], "tv");

  std::vector<KodiBroadcast> broadcasts;
  ASSERT_TRUE(ReadBroadcasts(rpc, 12, broadcasts, error)) << error;
  ASSERT_EQ(broadcasts.size(), 1u);
  EXPECT_EQ(broadcasts[0].title, "Night Film");
  EXPECT_EQ(broadcasts[0].end - broadcasts[0].start, 8100);
  EXPECT_EQ(kodi.calls.back()["params"]["channelid"], 12);
}

TEST(KodiViewTest, EmptyListsAndFailuresAreToldApart) {
  FakeKodi kodi;
  JsonRpc rpc(kodi.Port());
  std::string error;
  std::vector<KodiChannel> channels = {{1, "stale", 1}};
  // Kodi leaves an empty list out of the answer.
  kodi.replies["PVR.GetChannels"] = {{"result", {{"limits", {{"total", 0}}}}}};
  ASSERT_TRUE(ReadChannels(rpc, false, channels, error)) << error;
  EXPECT_TRUE(channels.empty());

  kodi.replies["PVR.GetChannels"] = {{"error", {{"code", -32602}, {"message", "Invalid params."}}}};
  EXPECT_FALSE(ReadChannels(rpc, false, channels, error));
  EXPECT_NE(error.find("PVR.GetChannels"), std::string::npos) << error;
  EXPECT_NE(error.find("Invalid params."), std::string::npos) << error;

  kodi.replies["PVR.GetChannels"] = {{"result", {{"channels", "not a list"}}}};
  EXPECT_FALSE(ReadChannels(rpc, false, channels, error));

  kodi.replies["PVR.GetBroadcasts"] = {
      {"result", {{"broadcasts", {{{"title", "X"}, {"starttime", "soon"}, {"endtime", ""}}}}}}};
  std::vector<KodiBroadcast> broadcasts;
  EXPECT_FALSE(ReadBroadcasts(rpc, 1, broadcasts, error));
  EXPECT_NE(error.find("unreadable times"), std::string::npos) << error;

  // No such method: the web server answers with an HTTP error.
  json result;
  EXPECT_FALSE(rpc.Call("GUI.ActivateWindow", {{"window", "tvguide"}}, result, error));
  EXPECT_NE(error.find("HTTP status 500"), std::string::npos) << error;
}

TEST(KodiViewTest, ACallToNoServerFailsWithinItsBound) {
  int port = 0;
  {
    FakeKodi gone;
    port = gone.Port();
  }
  JsonRpc rpc(port);
  json result;
  std::string error;
  EXPECT_FALSE(rpc.Call("JSONRPC.Ping", nullptr, result, error, std::chrono::seconds(5)));
  EXPECT_NE(error.find("no answer from Kodi"), std::string::npos) << error;
}

}  // namespace

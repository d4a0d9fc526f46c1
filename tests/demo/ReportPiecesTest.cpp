// The pieces of the session's report: the progress display on a terminal and in a file, the
// request count from the provider's listing, what the guide entries tell, the texts of the
// tables, and the session's options.

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "host/driver/DriverOptions.h"
#include "host/driver/Formatting.h"
#include "host/driver/Progress.h"
#include "host/driver/RequestCount.h"
#include "host/driver/SessionReport.h"
#include "provider/Catalogue.h"
#include "provider/SampleProvider.h"

namespace demo_test {
namespace {

using zu::host::DriverOptions;
using zu::host::EpgEntry;
using zu::host::Progress;
using zu::host::RequestCount;

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++n;
  return n;
}

TEST(Progress, PlainOutputGetsAHandfulOfLinesAndATerminalOneLine) {
  std::ostringstream plain;
  {
    Progress progress(plain, false, true);
    progress.Start("channels", 54);
    for (size_t i = 0; i <= 54; ++i)
      progress.Update(i, "channel " + std::to_string(i));
    progress.Status("waiting 1 s", false);
    progress.Status("waiting for the thread", true);
    progress.Status("waiting for the thread", true);
  }
  // A line at each quarter, one status line (repeats and clock ticks are not printed), and
  // never a carriage return in a file.
  EXPECT_EQ(5u, Count(plain.str(), "\n")) << plain.str();
  EXPECT_EQ(std::string::npos, plain.str().find('\r'));
  EXPECT_NE(std::string::npos, plain.str().find("54/54 channels")) << plain.str();

  std::ostringstream terminal;
  {
    Progress progress(terminal, true, true);
    progress.Start("channels", 3);
    for (size_t i = 0; i <= 3; ++i)
      progress.Update(i,
                      "Drittes S\xC3\xBC"
                      "d");
    EXPECT_EQ(0u, Count(terminal.str(), "\n"));
    EXPECT_EQ(4u, Count(terminal.str(), "\r"));
    progress.EndLine();
  }
  // The last drawing is the full bar; the line is cleared when ordinary output follows.
  EXPECT_NE(std::string::npos, terminal.str().find(Progress::Bar(3, 3, 30))) << terminal.str();
  EXPECT_EQ("\r\033[K", terminal.str().substr(terminal.str().size() - 4));

  std::ostringstream disabled;
  {
    Progress progress(disabled, true, false);
    progress.Start("channels", 2);
    progress.Update(1, "x");
    progress.Status("waiting", true);
  }
  EXPECT_EQ("", disabled.str());
}

TEST(Progress, BarStaysWithinItsWidth) {
  // The count is right-aligned, so the line does not shift while it grows.
  EXPECT_EQ("[----------]    0/100", Progress::Bar(0, 100, 10));
  EXPECT_EQ("[#####-----]   50/100", Progress::Bar(50, 100, 10));
  EXPECT_EQ("[##########]  100/100", Progress::Bar(100, 100, 10));
  // More done than announced, or nothing to do, is a full bar rather than an overrun.
  EXPECT_EQ("[##########]  7/5", Progress::Bar(7, 5, 10));
  EXPECT_EQ("[##########]  0/0", Progress::Bar(0, 0, 10));
}

TEST(RequestCount, KindsOfTheProvidersTargets) {
  EXPECT_EQ("availability", RequestCount::KindOf("/pelta_bapi/Android/index/headerinfo"));
  EXPECT_EQ("stations", RequestCount::KindOf("/a/api.mobile.station.get?type=JSON.1"));
  EXPECT_EQ("playlists", RequestCount::KindOf("/a/service.fta.m3u"));
  EXPECT_EQ("playlists", RequestCount::KindOf("/a/service.m3u"));
  EXPECT_EQ("show lists", RequestCount::KindOf("/a/api.mobile.event.hour?uid=1&s=2"));
  EXPECT_EQ("details", RequestCount::KindOf("/a/api.mobile.event.get?type=JSON.3&evid=4711"));
  EXPECT_EQ("logos", RequestCount::KindOf("/logo/60x30/erstes.png"));
  EXPECT_EQ("logos", RequestCount::KindOf("/station/128x64/erstes.png"));
  EXPECT_EQ("other", RequestCount::KindOf("/a/unknown"));

  // Only what came after the earlier listing counts.
  RequestCount count = RequestCount::FromProvider(
      {"/a/service.fta.m3u"}, {"/a/service.fta.m3u", "/a/api.mobile.event.get?evid=1",
                               "/a/api.mobile.event.get?evid=2", "/logo/60x30/x.png"});
  EXPECT_EQ(3u, count.Total());
  EXPECT_EQ(2u, count.Of("details"));
  EXPECT_EQ(0u, count.Of("playlists"));
  EXPECT_EQ("3 (1 logos, 2 details)", count.Describe());
}

TEST(RequestCount, AsksOnlyAReachableLoopbackProvider) {
  zu::provider::Catalogue catalogue;
  std::string error;
  ASSERT_TRUE(zu::provider::Catalogue::Generate(2, 0, catalogue, error)) << error;
  zu::provider::SampleProvider::Options options;
  options.log = [](const std::string&) {};
  zu::provider::SampleProvider provider(std::move(catalogue), options);
  ASSERT_TRUE(provider.Start());
  const std::string address = "127.0.0.1:" + std::to_string(provider.Port());

  std::vector<std::string> before;
  ASSERT_TRUE(RequestCount::FetchProviderTargets(address, before, error)) << error;
  EXPECT_TRUE(before.empty());
  // The listing itself is not a request the provider records.
  ASSERT_TRUE(RequestCount::FetchProviderTargets(address, before, error)) << error;
  EXPECT_TRUE(before.empty());

  provider.Stop();
  std::vector<std::string> targets = {"kept?"};
  EXPECT_FALSE(RequestCount::FetchProviderTargets(address, targets, error));
  EXPECT_NE(std::string::npos, error.find("cannot connect")) << error;
  EXPECT_FALSE(RequestCount::FetchProviderTargets("192.0.2.1:80", targets, error));
  EXPECT_NE(std::string::npos, error.find("not a loopback")) << error;
}

EpgEntry Entry(unsigned int id, time_t start, time_t end, const std::string& plot = "") {
  EpgEntry entry;
  entry.broadcastId = id;
  entry.startTime = start;
  entry.endTime = end;
  entry.plot = plot;
  return entry;
}

// The session sees the details the add-on read only in the guide entries it hands over, which
// need not come in time order.
TEST(SessionReport, DetailsAndNowAndNextFromGuideEntries) {
  const std::vector<EpgEntry> before = {Entry(1, 100, 200), Entry(2, 200, 300),
                                        Entry(3, 300, 400, "had it")};
  const std::vector<EpgEntry> after = {Entry(4, 400, 500, "new broadcast"),
                                       Entry(3, 300, 400, "had it"), Entry(2, 200, 300, "gained"),
                                       Entry(1, 100, 200)};
  // A broadcast that had its plot already, or was not in the earlier answer, gained nothing.
  EXPECT_EQ(1u, zu::host::GainedPlots(before, after));
  EXPECT_EQ(0u, zu::host::GainedPlots({}, after));

  // A show ending at the moment is over; the next is the earliest start after it.
  auto [now, next] = zu::host::NowAndNext(after, 200);
  ASSERT_TRUE(now != nullptr && next != nullptr);
  EXPECT_EQ(2u, now->broadcastId);
  EXPECT_EQ(3u, next->broadcastId);
  EXPECT_EQ(nullptr, zu::host::NowAndNext(after, 500).first);
  EXPECT_EQ(nullptr, zu::host::NowAndNext(after, 500).second);

  // Coming means starting after the moment.
  EXPECT_EQ(3u, zu::host::FirstComingWithPlot(after, 250)->broadcastId);
  EXPECT_EQ(4u, zu::host::FirstComingWithPlot(after, 300)->broadcastId);
  EXPECT_EQ(nullptr, zu::host::FirstComingWithPlot(after, 400));
}

TEST(Formatting, TextsCountCharactersNotBytes) {
  const std::string name =
      "Drittes S\xC3\xBC"
      "d";  // "Drittes Süd"
  EXPECT_EQ(11u, zu::host::TextWidth(name));
  EXPECT_EQ(name, zu::host::Shorten(name, 11));
  // A cut never splits a character.
  EXPECT_EQ("Drittes S\xC3\xBC...", zu::host::Shorten(name + " und Nord", 13));
  EXPECT_EQ("Drittes...", zu::host::Shorten(name, 10));

  EXPECT_EQ("one two\n  three\n  four", zu::host::Wrap("one two three four", 8, "  "));
  EXPECT_EQ("averyveryverylongword\n  x", zu::host::Wrap("averyveryverylongword x", 8, "  "));
  EXPECT_EQ("1,234,567", zu::host::Thousands(1234567));
  EXPECT_EQ("999", zu::host::Thousands(999));
  EXPECT_EQ("812 B", zu::host::Bytes(812));
  EXPECT_EQ("12.3 kB", zu::host::Bytes(12345));
  EXPECT_EQ("4.1 MB", zu::host::Bytes(4100000));
}

bool Parse(std::vector<const char*> words, DriverOptions& options, std::string& error) {
  words.insert(words.begin(), "nivotv-host");
  return zu::host::ParseDriverOptions(static_cast<int>(words.size()), words.data(), options, error);
}

TEST(SessionOptions, DaysChannelsAndProvider) {
  DriverOptions options;
  std::string error;
  ASSERT_TRUE(
      Parse({"session", "--days", "3", "--channel", "71001", "--channel", "Zweites Programm",
             "--provider", "127.0.0.1:8080", "--duration", "0", "--json-out", "/tmp/session.json"},
            options, error))
      << error;
  EXPECT_EQ(3, options.days);
  EXPECT_EQ(72, options.hours);
  EXPECT_EQ((std::vector<std::string>{"71001", "Zweites Programm"}), options.channels);
  EXPECT_EQ("127.0.0.1:8080", options.provider);
  EXPECT_EQ(0, options.duration);
  EXPECT_EQ("/tmp/session.json", options.jsonOut);

  // The later of --days and --hours sets the window.
  options = DriverOptions();
  ASSERT_TRUE(Parse({"guide", "1", "--days", "2", "--hours", "5"}, options, error)) << error;
  EXPECT_EQ(5, options.hours);
  EXPECT_EQ(0, options.days);

  struct Case {
    std::vector<const char*> words;
    const char* reason;
  };
  const Case cases[] = {
      {{"session", "--days", "0"}, "--days needs a whole number from 1 to 366"},
      {{"session", "--days", "400"}, "--days needs"},
      {{"session", "--channel", ""}, "--channel needs a channel uid or name"},
      {{"session", "--provider", "10.0.0.1:80"}, "--provider needs a loopback address"},
      {{"session", "--provider", "127.0.0.1"}, "--provider needs"},
      {{"session", "--provider", "127.0.0.1:70000"}, "--provider needs"},
      {{"session", "--provider", "127.0.0.256:80"}, "--provider needs"},
      {{"session", "--provider", "127.0.0:80"}, "--provider needs"},
      {{"channels", "--channel", "1"}, "--channel is an option of the session command"},
      {{"status", "--provider", "localhost:80"}, "--provider is an option of the session"},
      {{"guide", "1", "--json-out", "x.json"}, "--json-out is an option of the session"},
  };
  for (const Case& c : cases) {
    options = DriverOptions();
    EXPECT_FALSE(Parse(c.words, options, error)) << c.reason;
    EXPECT_NE(std::string::npos, error.find(c.reason)) << c.reason << " -> " << error;
  }
  std::string host;
  unsigned short port = 0;
  EXPECT_TRUE(zu::host::SplitProviderAddress("localhost:1", host, port));
  EXPECT_EQ("localhost", host);
  EXPECT_EQ(1, port);
}

}  // namespace
}  // namespace demo_test

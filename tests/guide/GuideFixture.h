#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <boost/date_time/posix_time/posix_time.hpp>
#include <nlohmann/json.hpp>

#include "RecordingHost.h"
#include "addon/ClosedProvider.h"
#include "base/TempDir.h"
#include "nivo/CacheArchive.h"
#include "nivo/ClientCore.h"
#include "nivo/Json.h"
#include "tests/support/ScriptedPeer.h"

namespace guide_test {

// The guide gateway of these tests: every request answered from the target by a handler.
using ScriptedProvider = zu_test::ScriptedPeer;

// Seconds since the epoch of a UTC date and time.
inline time_t Utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  struct tm broken = {};
  broken.tm_year = year - 1900;
  broken.tm_mon = month - 1;
  broken.tm_mday = day;
  broken.tm_hour = hour;
  broken.tm_min = minute;
  broken.tm_sec = second;
  return timegm(&broken);
}

// The local wall-clock time of a calendar time, as the provider writes show times.
inline boost::posix_time::ptime Local(time_t time) {
  struct tm broken = {};
  localtime_r(&time, &broken);
  return boost::posix_time::ptime_from_tm(broken);
}

inline std::string Extended(time_t time) {
  return boost::posix_time::to_iso_extended_string(Local(time));
}

// A show as the scripted provider lists it; times are calendar times, written as local
// wall-clock times.
struct ShowSpec {
  unsigned int id;
  time_t start;
  time_t end;
  std::string title;
};

// A show list document of one station holding the shows.
inline std::string ShowListBody(unsigned int uid, const std::vector<ShowSpec>& shows) {
  nlohmann::json items = nlohmann::json::array();
  for (const ShowSpec& show : shows)
    items.push_back(
        {std::to_string(show.id), Extended(show.start), Extended(show.end), show.title});
  nlohmann::json station = nlohmann::json::array({uid, "Station", items});
  return nlohmann::json::array({nlohmann::json::object(), nlohmann::json::array({station})}).dump();
}

// A details document whose description names the title.
inline std::string DetailsBody(const std::string& title) {
  nlohmann::json event = {{"Title", title}, {"Description", "About " + title}, {"Duration", 3600}};
  return nlohmann::json{{"data", nlohmann::json::array({{{"Event", event}}})}}.dump();
}

// The reason a syntax error of the text gives, as the guide update reports it.
inline std::string SyntaxReason(const std::string& text) {
  try {
    zu::nivo::ParseJson(text);
  } catch (const zu::nivo::JsonSyntaxError& e) {
    return e.Reason();
  }
  return "(no syntax error)";
}

// The evid of a details request target, or 0.
inline unsigned int DetailsId(const std::string& target) {
  const std::string::size_type at = target.find("evid=");
  return at == std::string::npos ? 0 : static_cast<unsigned int>(std::stoul(target.substr(at + 5)));
}

const char kShowListPrefix[] = "/a/api.mobile.event.hour?";
const char kDetailsPrefix[] = "/a/api.mobile.event.get?";

// A client core bound to a recording host, with the guide gateway at a scripted provider.
// The channel table and the cached guides are set by the test before the core is made, on its
// first use; time zone UTC unless a test changes it.
class GuideCoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    ASSERT_NE(0, provider.Port());
    // The channel load only asks the service host whether it answers; nothing does, so the
    // core serves the channels the test ships.
    zu_test::PointProviderAtClosedPort();
    setenv("NIVOTV_GUIDE_HOST", provider.Endpoint().c_str(), 1);
    // The update thread does nothing during a test unless the test asks for it.
    options.epgUpdateWait = zu::Time::FromSeconds(3600);
  }
  void TearDown() override {
    if (core)
      core->DeInit();
    core.reset();
  }

  // A channel of the table the core loads.
  void AddChannel(unsigned int uid, const std::string& name, unsigned int number,
                  bool radio = false) {
    zu::nivo::Channel& channel = channels[uid];
    channel.uid = uid;
    channel.name = name;
    channel.number = number;
    channel.isRadio = radio;
  }
  // The guide cache of a channel as the core finds it when it loads.
  void StoreGuide(unsigned int uid, const zu::nivo::TVShows& shows) {
    std::filesystem::create_directories(dir / "user/epg");
    std::ofstream(CacheFile(uid), std::ios::binary) << zu::nivo::WriteShowsArchive(shows);
  }
  // The core, made with options on first use and loaded with the channels added so far; what
  // the load told the host is forgotten.
  zu::nivo::ClientCore& Core() {
    if (!core) {
      MakeCore();
      host.Forget();
    }
    return *core;
  }
  // The same, keeping what the load told the host.
  void MakeCore() {
    std::filesystem::create_directories(dir / "client");
    std::ofstream(dir / "client/tv.zug", std::ios::binary)
        << zu::nivo::WriteChannelsArchive(channels);
    core.reset(new zu::nivo::ClientCore(options));
    EXPECT_EQ(0, core->Init(host, dir / "user", dir / "client"));
    EXPECT_EQ(channels.size(), core->GetChannelTable()->channels.size());
  }
  // A guide request; those of known channels are counted.
  bool Update(unsigned int uid, time_t start, time_t end) {
    requests += channels.count(uid);
    return Core().UpdateEPGForChannel(this, uid, start, end);
  }
  // Completes the first round of guide requests over the channels with requests for no time
  // (of the last channel, which should be one whose guide does not matter), and waits until
  // the update thread, waiting for no time, has switched the core to detailed mode.
  void EnterDetailedMode() {
    ASSERT_TRUE(options.epgUpdateWait == zu::Time::Zero());
    while (requests < channels.size())
      Update(channels.rbegin()->first, 0, 0);
    ASSERT_TRUE(host.WaitFor([this] { return host.CountNotes(kDetailedModeNote) > 0; }));
    host.TakeEntries();
  }
  // Answers show list requests with the shows (all of them, whatever the period) and details
  // requests with DetailsBody of the show's title.
  void Serve(const std::vector<ShowSpec>& shows, unsigned int uid = 1) {
    provider.SetHandler([shows, uid](const std::string& target) {
      ScriptedProvider::Response response;
      if (target.rfind(kShowListPrefix, 0) == 0) {
        response.body = ShowListBody(uid, shows);
      } else if (target.rfind(kDetailsPrefix, 0) == 0) {
        response.status = 404;
        for (const ShowSpec& show : shows) {
          if (show.id == DetailsId(target)) {
            response.status = 200;
            response.body = DetailsBody(show.title);
          }
        }
      } else {
        response.status = 404;
      }
      return response;
    });
  }
  // One guide request; the entries handed to the host.
  std::vector<RecordingHost::Entry> RequestGuide(unsigned int uid, time_t start, time_t end) {
    EXPECT_TRUE(Update(uid, start, end));
    return host.TakeEntries();
  }
  std::string CacheFile(unsigned int uid) const {
    return dir / ("user/epg/channel_" + std::to_string(uid) + ".zug");
  }

  ScriptedProvider provider;
  RecordingHost host;
  zu_test::TempDir dir;
  zu::nivo::ClientCore::Options options;
  zu::nivo::Channels channels;
  // Guide requests of known channels so far.
  size_t requests = 0;
  std::unique_ptr<zu::nivo::ClientCore> core;
};

// The ids of the entries, in order.
inline std::vector<unsigned int> Ids(const std::vector<RecordingHost::Entry>& entries) {
  std::vector<unsigned int> ids;
  for (const RecordingHost::Entry& entry : entries)
    ids.push_back(entry.show.id);
  return ids;
}

inline std::vector<unsigned int> Ids(const zu::nivo::TVShows& shows) {
  std::vector<unsigned int> ids;
  for (const zu::nivo::TVShow& show : shows)
    ids.push_back(show.id);
  return ids;
}

}  // namespace guide_test

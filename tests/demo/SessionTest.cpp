// The session of nivotv-host with the built add-on against the sample provider, as the demo
// runs it: every TV channel gets guide data, the add-on's update thread switches to detailed
// mode and the first refresh brings show details; then, with the provider stopped, the same
// channels and guide come from the add-on's caches. The update thread waits 30 s inside the
// add-on library, so each online session takes a little over half a minute.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "base/TempDir.h"
#include "host/driver/Driver.h"
#include "host/driver/DriverOptions.h"
#include "nivo/ShowTexts.h"
#include "provider/Catalogue.h"
#include "provider/SampleProvider.h"

namespace demo_test {
namespace {

using nlohmann::json;
using zu::host::DriverOptions;

const char kSmallCatalogue[] = R"({"stations": [
  {"uid": 82001, "number": 1, "name": "Eins", "channel": "Test", "flags": [], "products": [],
   "logo": "eins.png", "colour": "#102030", "profile": "general", "playlists": ["fta"]},
  {"uid": 82002, "number": 2, "name": "Zwei", "channel": "Test", "flags": [], "products": [],
   "logo": "zwei.png", "colour": "#302010", "profile": "news", "playlists": ["fta"]},
  {"uid": 82003, "number": 3, "name": "Drei", "channel": "Test", "flags": [], "products": [],
   "logo": "drei.png", "colour": "#203010", "profile": "film", "playlists": ["fta"]}]})";

struct SessionRun {
  int exit = -1;
  json document;
  std::string err;
};

class SessionTest : public ::testing::Test {
 protected:
  void StartProvider(zu::provider::Catalogue catalogue) {
    zu::provider::SampleProvider::Options options;
    options.log = [](const std::string&) {};
    provider_.reset(new zu::provider::SampleProvider(std::move(catalogue), options));
    ASSERT_TRUE(provider_->Start());
    address_ = "127.0.0.1:" + std::to_string(provider_->Port());
    setenv("NIVOTV_SERVICE_HOST", address_.c_str(), 1);
    setenv("NIVOTV_GUIDE_HOST", address_.c_str(), 1);
  }

  void TearDown() override {
    if (provider_)
      provider_->Stop();
  }

  // A session in JSON form; the window starts at from, so that two runs ask for the same one.
  SessionRun Session(const std::string& package, time_t from, long duration,
                     std::vector<std::string> channels = {}) {
    DriverOptions options;
    options.command = "session";
    options.addonFolder = package;
    options.hostBase = ZU_HOST_BASE_DIR;
    options.userPath = dir_ / "user";
    options.logPath = dir_ / "host.log";
    options.json = true;
    options.haveFrom = true;
    options.from = from;
    options.days = 2;
    options.hours = 48;
    options.duration = duration;
    options.triggers = duration > 0 ? 1 : 0;
    options.provider = address_;
    options.channels = std::move(channels);
    std::ostringstream out;
    std::ostringstream err;
    SessionRun run;
    run.exit = zu::host::RunDriver(options, out, err);
    run.err = err.str();
    run.document = json::parse(out.str(), nullptr, false);
    EXPECT_FALSE(run.document.is_discarded()) << out.str();
    return run;
  }

  zu_test::TempDir dir_;
  std::unique_ptr<zu::provider::SampleProvider> provider_;
  std::string address_;
};

// The document with every "title" text as the details pass leaves it: entities decoded.
json WithDecodedTitles(json document) {
  if (document.is_object()) {
    for (auto& member : document.items()) {
      if (member.key() == "title" && member.value().is_string())
        member.value() = zu::nivo::DecodeEntities(member.value().get<std::string>());
      else
        member.value() = WithDecodedTitles(member.value());
    }
  } else if (document.is_array()) {
    for (json& element : document)
      element = WithDecodedTitles(element);
  }
  return document;
}

// The demo's own setting: the built package with its twelve radio channels. The update thread
// refreshes channels in uid order, so its first trigger is a radio channel; the session then
// asks for a TV guide itself, and that request reads the details.
TEST_F(SessionTest, ShippedPackageOnlineThenFromTheCachesOffline) {
  zu::provider::Catalogue catalogue;
  std::string error;
  ASSERT_TRUE(
      zu::provider::Catalogue::Load(zu::provider::Catalogue::SourceDirectory(), catalogue, error))
      << error;
  StartProvider(std::move(catalogue));
  const time_t from = time(nullptr);

  SessionRun online = Session(ZU_ADDON_PACKAGE_DIR, from, 240);
  ASSERT_EQ(zu::host::kExitSuccess, online.exit) << online.err;
  const json& summary = online.document["summary"];
  const size_t tv = summary["channels"]["tv"];
  EXPECT_GT(tv, 0u);
  EXPECT_GT(summary["channels"]["radio"].get<size_t>(), 0u);
  EXPECT_GT(summary["groups"]["tv"].get<size_t>(), 0u);
  EXPECT_EQ(tv, summary["tvChannelsWithGuide"]);
  EXPECT_EQ(tv, online.document["nowNext"].size());
  EXPECT_TRUE(summary["detailedMode"]);

  const json& trigger = summary["firstTrigger"];
  EXPECT_TRUE(trigger["radio"]) << trigger;
  const json& request = summary["detailsRequest"];
  ASSERT_TRUE(request.is_object()) << summary;
  EXPECT_GT(request["detailsRead"].get<size_t>(), 0u);
  // Every details request the provider saw was one the report counted as read.
  EXPECT_EQ("provider", summary["requests"]["source"]);
  EXPECT_EQ(request["detailsRead"], summary["requests"]["kinds"]["details"]);
  EXPECT_EQ(tv, summary["requests"]["kinds"]["logos"]);
  const json& details = online.document["details"];
  ASSERT_TRUE(details.is_object());
  EXPECT_EQ(request["channel"], details["channel"]);
  EXPECT_FALSE(details["description"].get<std::string>().empty());
  EXPECT_GT(details["start"].get<long long>(), static_cast<long long>(from));
  EXPECT_EQ(0, summary["addonErrors"]);
  EXPECT_EQ(0, online.document["hostErrors"]);
  EXPECT_GT(summary["caches"]["guideFiles"].get<size_t>(), 0u);
  EXPECT_EQ(tv, summary["caches"]["logoFiles"]);

  provider_->Stop();
  SessionRun offline = Session(ZU_ADDON_PACKAGE_DIR, from, 0);
  ASSERT_EQ(zu::host::kExitSuccess, offline.exit) << offline.err;
  const json& cached = offline.document["summary"];
  EXPECT_EQ(summary["channels"], cached["channels"]);
  EXPECT_EQ(summary["groups"], cached["groups"]);
  EXPECT_EQ(online.document["guide"], offline.document["guide"]);
  // The same shows now and next; a title the online run showed before the details pass
  // decoded its entities may show decoded now, as the cache keeps what the details brought.
  EXPECT_EQ(WithDecodedTitles(online.document["nowNext"]),
            WithDecodedTitles(offline.document["nowNext"]));
  EXPECT_EQ(tv, cached["tvChannelsWithGuide"]);
  // Without the provider the requests are not counted; the add-on's failed attempts show as
  // the errors it logged.
  EXPECT_EQ("none", cached["requests"]["source"]);
  EXPECT_NE("", cached["requests"]["providerError"]);
  EXPECT_GE(cached["addonErrors"].get<size_t>(), 1u);
  // The details read online are still there.
  ASSERT_TRUE(offline.document["details"].is_object());
  EXPECT_EQ(details["channel"], offline.document["details"]["channel"]);
  EXPECT_EQ(summary["caches"]["channels"], cached["caches"]["channels"]);
}

// Without radio channels the first refresh trigger names a TV channel, and its guide request
// reads the details by itself. --channel narrows what is shown, not what is asked for.
TEST_F(SessionTest, FirstRefreshTriggerReadsDetails) {
  zu::provider::Catalogue catalogue;
  std::string error;
  ASSERT_TRUE(zu::provider::Catalogue::Parse(kSmallCatalogue, catalogue, error)) << error;
  StartProvider(std::move(catalogue));
  // The built library in a package of its own, without shipped channels or radio playlist.
  const std::string package = dir_ / "pvr.nivotv";
  std::filesystem::create_directories(package);
  std::filesystem::copy_file(std::string(ZU_ADDON_PACKAGE_DIR) + "/addon.xml",
                             package + "/addon.xml");
  std::filesystem::create_symlink(std::string(ZU_ADDON_PACKAGE_DIR) + "/libZUNivoTVKodiPlugin.so",
                                  package + "/libZUNivoTVKodiPlugin.so");

  SessionRun run = Session(package, time(nullptr), 240, {"eins"});
  ASSERT_EQ(zu::host::kExitSuccess, run.exit) << run.err;
  const json& summary = run.document["summary"];
  EXPECT_EQ(3, summary["channels"]["tv"]);
  EXPECT_EQ(0, summary["channels"]["radio"]);
  EXPECT_EQ(3, summary["tvChannelsWithGuide"]);
  EXPECT_EQ(3u, run.document["guide"].size());
  ASSERT_EQ(1u, run.document["nowNext"].size());
  EXPECT_EQ(82001, run.document["nowNext"][0]["channel"]);
  EXPECT_TRUE(summary["detailedMode"]);
  EXPECT_EQ(82001, summary["firstTrigger"]["channel"]);
  EXPECT_GT(summary["firstTrigger"]["detailsRead"].get<size_t>(), 0u);
  EXPECT_TRUE(summary["detailsRequest"].is_null());
  ASSERT_TRUE(run.document["details"].is_object());
  EXPECT_EQ(82001, run.document["details"]["channel"]);
  EXPECT_EQ(summary["firstTrigger"]["detailsRead"], summary["requests"]["kinds"]["details"]);
}

}  // namespace
}  // namespace demo_test

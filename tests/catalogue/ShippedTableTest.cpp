// The shipped channel table: what the package holds, and the tool that makes it.

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "base/TempDir.h"
#include "nivo/CacheArchive.h"
#include "provider/Catalogue.h"

namespace {

using zu::nivo::Channel;
using zu::nivo::Channels;
using zu::provider::Catalogue;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

int RunTool(const std::string& arguments) {
  const int status =
      std::system((std::string(ZU_MAKE_TVZUG) + " " + arguments + " 2>/dev/null").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// What the add-on makes of a catalogue station served from baseUrl, worked out from the
// catalogue alone.
Channel Expected(const zu::provider::Station& station, const std::string& baseUrl) {
  Channel channel;
  channel.name = station.name;
  channel.uid = station.uid;
  channel.number = station.number;
  channel.logoUri = baseUrl + "/station/128x64/" + station.logoFile;
  channel.streamUrl = baseUrl + "/stream/" + std::to_string(station.uid) + ".ts";
  channel.groups.insert(station.channelGroup);
  channel.groups.insert(station.flags.begin(), station.flags.end());
  channel.groups.insert(station.products.begin(), station.products.end());
  if (station.inFta)
    channel.groups.insert("Nivo TV");
  if (station.inPlus)
    channel.groups.insert("Nivo TV Plus");
  channel.groups.insert("All");
  return channel;
}

void ExpectTableOf(const Catalogue& catalogue, const std::string& baseUrl, const Channels& table) {
  ASSERT_EQ(catalogue.Stations().size(), table.size());
  for (const zu::provider::Station& station : catalogue.Stations()) {
    const auto found = table.find(station.uid);
    ASSERT_NE(table.end(), found) << station.name;
    EXPECT_EQ(Expected(station, baseUrl), found->second) << station.name;
  }
}

TEST(ShippedTable, ThePackageShipsTheSampleCatalogueAtTheDefaultAddress) {
  Catalogue catalogue;
  std::string error;
  ASSERT_TRUE(Catalogue::Load(Catalogue::SourceDirectory(), catalogue, error)) << error;
  const std::string shipped = ReadFile(ZU_ADDON_PACKAGE_DIR "/tv.zug");
  const Channels table = zu::nivo::ReadChannelsArchive(shipped);
  ExpectTableOf(catalogue, "http://127.0.0.1", table);
  // Stored exactly as the add-on stores its own cache.
  EXPECT_EQ(shipped, zu::nivo::WriteChannelsArchive(table));
}

TEST(ShippedTable, TheToolTakesAnyCatalogueAndAddress) {
  zu_test::TempDir dir;
  const std::string catalogueText = R"({"stations": [
    {"uid": 9, "number": 3, "name": "Neun", "channel": "Group", "flags": ["HD"],
     "products": ["Basis"], "logo": "neun.png", "colour": "#000000", "profile": "news",
     "playlists": ["plus"]},
    {"uid": 4, "number": 1, "name": "Vier", "channel": "Group", "flags": [],
     "products": ["Basis"], "logo": "vier.png", "colour": "#ffffff", "profile": "general",
     "playlists": ["fta", "plus"]}]})";
  std::filesystem::create_directories(dir / "catalogue");
  std::ofstream(dir / "catalogue/catalogue.json") << catalogueText;
  Catalogue catalogue;
  std::string error;
  ASSERT_TRUE(Catalogue::Parse(catalogueText, catalogue, error)) << error;

  ASSERT_EQ(0, RunTool("--catalogue " + (dir / "catalogue") +
                       " --base-url http://tv.example:8080/ " + (dir / "tv.zug")));
  ExpectTableOf(catalogue, "http://tv.example:8080",
                zu::nivo::ReadChannelsArchive(ReadFile(dir / "tv.zug")));

  // Failures write nothing.
  EXPECT_EQ(2, RunTool("--catalogue " + (dir / "missing") + " " + (dir / "other.zug")));
  EXPECT_EQ(2, RunTool("--catalogue " + (dir / "catalogue")));
  EXPECT_FALSE(std::filesystem::exists(dir / "other.zug"));
  EXPECT_FALSE(std::filesystem::exists(dir / "other.zug.partial"));
}

}  // namespace

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "base/TempDir.h"
#include "kodi20/check/ChildProcess.h"
#include "kodi20/check/KodiHome.h"

namespace {

using zu::kodi20::check::ChildProcess;
using zu::kodi20::check::KodiHome;
namespace fs = std::filesystem;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Touch(const std::string& path) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path) << "x";
}

bool HaveSqlite() {
  std::string output, error;
  ChildProcess::Options options;
  options.argv = {"sqlite3", "-version"};
  return zu::kodi20::check::RunProgram(options, std::chrono::seconds(30), output, error);
}

std::string Query(const std::string& database, const std::string& sql) {
  std::string output, error;
  ChildProcess::Options options;
  options.argv = {"sqlite3", database, sql};
  EXPECT_TRUE(zu::kodi20::check::RunProgram(options, std::chrono::seconds(30), output, error))
      << error << output;
  return output;
}

TEST(KodiHomeTest, PrepareWritesAFreshHomeWithTheAddonsEnabled) {
  if (!HaveSqlite())
    GTEST_SKIP() << "sqlite3 is not installed (scripts/install-kodi.sh installs it)";
  zu_test::TempDir temp;
  KodiHome home(temp / "home");
  Touch(temp / "home/.kodi/userdata/Database/TV40.db");
  std::string error;
  ASSERT_TRUE(
      home.Prepare(4711, {"pvr.nivotv", "pvr.o'dd"}, {"pvr.iptvsimple", "pvr.nivotv"}, error))
      << error;

  // Whatever an earlier run left is gone.
  EXPECT_FALSE(fs::exists(temp / "home/.kodi/userdata/Database/TV40.db"));
  std::string settings = ReadAll(temp / "home/.kodi/userdata/guisettings.xml");
  EXPECT_NE(settings.find("<setting id=\"services.webserver\">true</setting>"), std::string::npos);
  EXPECT_NE(settings.find("<setting id=\"services.webserverport\">4711</setting>"),
            std::string::npos);
  EXPECT_NE(settings.find("<setting id=\"services.webserverauthentication\">false</setting>"),
            std::string::npos);
  EXPECT_NE(settings.find("<setting id=\"pvrmanager.usebackendchannelnumbers\">true</setting>"),
            std::string::npos);

  std::string database = temp / "home/.kodi/userdata/Database/Addons33.db";
  EXPECT_EQ(Query(database, "SELECT idVersion, iCompressCount FROM version"), "33|0\n");
  // An add-on named both ways stays enabled.
  EXPECT_EQ(
      Query(database, "SELECT addonID, enabled, disabledReason FROM installed ORDER BY addonID"),
      "pvr.iptvsimple|0|1\npvr.nivotv|1|0\npvr.o'dd|1|0\n");
  EXPECT_EQ(
      Query(database, "SELECT count(*) FROM installed WHERE installDate IS NULL OR origin IS NULL"),
      "0\n");
  EXPECT_TRUE(fs::is_directory(temp / "home/.kodi/addons"));
  EXPECT_EQ(home.LogPath(), temp / "home/.kodi/temp/kodi.log");
}

TEST(KodiHomeTest, InstallsAddonsAndWritesTheirSettings) {
  zu_test::TempDir temp;
  KodiHome home(temp / "home");
  std::string error;
  EXPECT_FALSE(home.InstallAddon(temp / "empty", "pvr.nivotv", error));
  EXPECT_NE(error.find("addon.xml"), std::string::npos) << error;

  Touch(temp / "package/addon.xml");
  Touch(temp / "package/resources/settings.xml");
  Touch(temp / "package/pvr.nivotv.so");
  ASSERT_TRUE(home.InstallAddon(temp / "package", "pvr.nivotv", error)) << error;
  EXPECT_TRUE(fs::exists(temp / "home/.kodi/addons/pvr.nivotv/addon.xml"));
  EXPECT_TRUE(fs::exists(temp / "home/.kodi/addons/pvr.nivotv/resources/settings.xml"));
  EXPECT_TRUE(fs::exists(temp / "home/.kodi/addons/pvr.nivotv/pvr.nivotv.so"));

  ASSERT_TRUE(home.WriteAddonSettings(
      "pvr.iptvsimple", {{"m3uUrl", "http://127.0.0.1:1/x.m3u?a=1&b=<2>"}, {"startNum", "1"}},
      error))
      << error;
  EXPECT_EQ(ReadAll(temp / "home/.kodi/userdata/addon_data/pvr.iptvsimple/settings.xml"),
            "<settings version=\"2\">\n"
            "    <setting id=\"m3uUrl\">http://127.0.0.1:1/x.m3u?a=1&amp;b=&lt;2&gt;</setting>\n"
            "    <setting id=\"startNum\">1</setting>\n"
            "</settings>\n");
}

TEST(KodiHomeTest, ForgetsOnlyKodisChannelAndGuideDatabases) {
  zu_test::TempDir temp;
  KodiHome home(temp / "home");
  const std::string database = temp / "home/.kodi/userdata/Database/";
  for (const char* name : {"TV40.db", "Epg16.db", "Addons33.db", "Textures13.db", "MyVideos121.db"})
    Touch(database + name);
  Touch(temp / "home/.kodi/userdata/addon_data/pvr.nivotv/channels.zug");
  std::string error;
  ASSERT_TRUE(home.ForgetPvrDatabases(error)) << error;
  EXPECT_FALSE(fs::exists(database + "TV40.db"));
  EXPECT_FALSE(fs::exists(database + "Epg16.db"));
  EXPECT_TRUE(fs::exists(database + "Addons33.db"));
  EXPECT_TRUE(fs::exists(database + "Textures13.db"));
  EXPECT_TRUE(fs::exists(database + "MyVideos121.db"));
  // The add-on's own caches are what the next start must be served from.
  EXPECT_TRUE(fs::exists(temp / "home/.kodi/userdata/addon_data/pvr.nivotv/channels.zug"));
}

TEST(KodiHomeTest, FindsThePvrAddonsKodiComesWith) {
  zu_test::TempDir temp;
  Touch(temp / "pvr.b/addon.xml");
  Touch(temp / "pvr.a/addon.xml");
  Touch(temp / "pvr.empty/readme.txt");
  Touch(temp / "skin.estuary/addon.xml");
  EXPECT_EQ(zu::kodi20::check::SystemPvrAddons(temp.Path()),
            (std::vector<std::string>{"pvr.a", "pvr.b"}));
  EXPECT_TRUE(zu::kodi20::check::SystemPvrAddons(temp / "missing").empty());
}

TEST(KodiHomeTest, XmlEscapeCoversEverySpecialCharacter) {
  EXPECT_EQ(zu::kodi20::check::XmlEscape("a&b<c>d\"e'f"), "a&amp;b&lt;c&gt;d&quot;e&apos;f");
  EXPECT_EQ(zu::kodi20::check::XmlEscape("Müller"), "Müller");
}

}  // namespace

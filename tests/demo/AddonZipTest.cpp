// The add-on zip as a media centre installs it: unpacked, it holds the package folder at its
// root and nothing beside it, and the host loads the add-on from there.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "base/TempDir.h"
#include "host/StandInHost.h"

namespace demo_test {
namespace {

namespace fs = std::filesystem;

TEST(AddonZip, UnpacksToThePackageFolderTheHostLoads) {
  zu_test::TempDir dir;
  ASSERT_TRUE(fs::is_regular_file(ZU_ADDON_ZIP));
  const std::string unpack = dir / "addons";
  fs::create_directories(unpack);
  const std::string command =
      "cd '" + unpack + "' && '" + ZU_CMAKE_COMMAND + "' -E tar xf '" + ZU_ADDON_ZIP + "'";
  ASSERT_EQ(0, std::system(command.c_str())) << command;

  std::set<std::string> root;
  for (const fs::directory_entry& entry : fs::directory_iterator(unpack))
    root.insert(entry.path().filename().string());
  EXPECT_EQ(std::set<std::string>{"pvr.nivotv"}, root);
  std::set<std::string> files;
  for (const fs::directory_entry& entry : fs::directory_iterator(unpack + "/pvr.nivotv"))
    files.insert(entry.path().filename().string());
  for (const char* shipped :
       {"addon.xml", "libZUNivoTVKodiPlugin.so", "icon.png", "tv.zug", "radio.m3u"})
    EXPECT_EQ(1u, files.count(shipped)) << shipped;

  zu::host::HostOptions options;
  options.addonFolder = unpack + "/pvr.nivotv";
  options.userPath = dir / "user";
  options.hostBase = ZU_HOST_BASE_DIR;
  options.echoToStandardError = false;
  zu::host::LoadFailure failure;
  zu::host::StandInHostPtr host = zu::host::StandInHost::Load(options, failure);
  ASSERT_TRUE(host) << failure.message;
  EXPECT_EQ("pvr.nivotv", host->Manifest().id);
  EXPECT_EQ("4.0.2", host->Manifest().version);
  EXPECT_EQ(ADDON_STATUS_OK, host->GetStatus());
  host->Destroy();
  EXPECT_EQ(0u, host->OpenRegistrations());
}

}  // namespace
}  // namespace demo_test

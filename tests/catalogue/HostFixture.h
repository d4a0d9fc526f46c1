#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "base/TempDir.h"
#include "host/StandInHost.h"
#include "provider/Catalogue.h"
#include "provider/SampleProvider.h"

namespace catalogue_test {

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void WriteFile(const std::string& path, const std::string& data) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << data;
}

// The built add-on loaded through the stand-in host against a sample provider on a free
// loopback port. The add-on runs from a package folder of the test's own (its installation
// path), which holds the manifest and the library and, only where a test ships them, the
// channel table and the radio playlist. The provider is found through NIVOTV_SERVICE_HOST and
// NIVOTV_GUIDE_HOST, set before the add-on is loaded.
class HostFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir.Path().empty());
    std::filesystem::create_directories(PackagePath());
    std::filesystem::copy_file(kBuiltPackage + "/addon.xml", PackagePath() + "/addon.xml");
    std::filesystem::create_symlink(kBuiltPackage + "/libZUNivoTVKodiPlugin.so",
                                    PackagePath() + "/libZUNivoTVKodiPlugin.so");
  }
  void TearDown() override {
    host.reset();
    if (provider)
      provider->Stop();
  }

  // Starts a provider serving catalogue and points the add-on at it.
  void StartProvider(zu::provider::Catalogue catalogue) {
    zu::provider::SampleProvider::Options options;
    options.log = [this](const std::string& line) {
      std::lock_guard<std::mutex> lock(providerLogMutex);
      providerLog.push_back(line);
    };
    provider.reset(new zu::provider::SampleProvider(std::move(catalogue), options));
    ASSERT_TRUE(provider->Start());
    const std::string endpoint = "127.0.0.1:" + std::to_string(provider->Port());
    setenv("NIVOTV_SERVICE_HOST", endpoint.c_str(), 1);
    setenv("NIVOTV_GUIDE_HOST", endpoint.c_str(), 1);
  }
  void StartSampleProvider() { StartProvider(SampleCatalogue()); }
  // A provider built from catalogue.json text.
  void StartProvider(const std::string& catalogueText) {
    zu::provider::Catalogue catalogue;
    std::string error;
    ASSERT_TRUE(zu::provider::Catalogue::Parse(catalogueText, catalogue, error)) << error;
    StartProvider(std::move(catalogue));
  }

  static zu::provider::Catalogue SampleCatalogue() {
    zu::provider::Catalogue catalogue;
    std::string error;
    EXPECT_TRUE(
        zu::provider::Catalogue::Load(zu::provider::Catalogue::SourceDirectory(), catalogue, error))
        << error;
    return catalogue;
  }

  // Puts a file into the add-on's installation path.
  void Ship(const std::string& name, const std::string& data) {
    WriteFile(PackagePath() + "/" + name, data);
  }
  // Ships the file the build laid into the package.
  void ShipBuilt(const std::string& name) { Ship(name, ReadFile(kBuiltPackage + "/" + name)); }

  bool Load() {
    zu::host::HostOptions options;
    options.addonFolder = PackagePath();
    options.userPath = UserPath();
    options.hostBase = ZU_HOST_BASE_DIR;
    options.logPath = dir / "host.log";
    zu::host::LoadFailure failure;
    host = zu::host::StandInHost::Load(options, failure);
    EXPECT_TRUE(host) << failure.message;
    return static_cast<bool>(host);
  }

  std::string PackagePath() const { return dir / "pvr.nivotv"; }
  std::string UserPath() const { return dir / "user"; }
  std::string CachePath() const { return UserPath() + "/channels.zug"; }
  std::string BaseUrl() const { return provider->BaseUrl(); }

  std::vector<zu::host::Channel> Channels(bool radio, PVR_ERROR expected = PVR_ERROR_NO_ERROR) {
    std::vector<zu::host::Channel> channels;
    EXPECT_EQ(expected, host->GetChannels(radio, channels));
    return channels;
  }

  // The add-on's own log lines with exactly this text and level.
  size_t CountLines(int level, const std::string& text) const {
    size_t count = 0;
    for (const zu::host::LogLine& line : host->LogLines())
      count += !line.fromHost && line.level == level && line.text == text ? 1 : 0;
    return count;
  }
  // The add-on's own log lines of this level that contain part.
  size_t CountLinesWith(int level, const std::string& part) const {
    size_t count = 0;
    for (const zu::host::LogLine& line : host->LogLines()) {
      count += !line.fromHost && line.level == level && line.text.find(part) != std::string::npos
                   ? 1
                   : 0;
    }
    return count;
  }
  size_t CountNotifications(int kind, const std::string& text) const {
    size_t count = 0;
    for (const zu::host::Notification& notification : host->Notifications())
      count += notification.kind == kind && notification.text == text ? 1 : 0;
    return count;
  }

  const std::string kBuiltPackage = ZU_ADDON_PACKAGE_DIR;
  zu_test::TempDir dir;
  std::unique_ptr<zu::provider::SampleProvider> provider;
  std::mutex providerLogMutex;
  std::vector<std::string> providerLog;
  zu::host::StandInHostPtr host;
};

}  // namespace catalogue_test

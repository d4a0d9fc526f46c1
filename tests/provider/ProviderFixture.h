#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "RawHttp.h"
#include "provider/Catalogue.h"
#include "provider/SampleProvider.h"

namespace provider_test {

// A started provider on a free loopback port serving the sample catalogue; its log lines are
// kept for assertions.
class ProviderFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    zu::provider::Catalogue catalogue;
    std::string error;
    ASSERT_TRUE(
        zu::provider::Catalogue::Load(zu::provider::Catalogue::SourceDirectory(), catalogue, error))
        << error;
    zu::provider::SampleProvider::Options options;
    options.log = [this](const std::string& line) {
      std::lock_guard<std::mutex> lock(logMutex_);
      log_.push_back(line);
    };
    provider_.reset(new zu::provider::SampleProvider(std::move(catalogue), options));
    ASSERT_TRUE(provider_->Start());
    port_ = provider_->Port();
    ASSERT_NE(0, port_);
  }
  void TearDown() override {
    if (provider_) {
      provider_->Stop();
    }
  }

  RawResponse Fetch(const std::string& target, const std::string& headers = std::string()) {
    return Get(port_, target, headers);
  }
  bool Logged(const std::string& part) {
    std::lock_guard<std::mutex> lock(logMutex_);
    for (const std::string& line : log_) {
      if (line.find(part) != std::string::npos) {
        return true;
      }
    }
    return false;
  }

  std::unique_ptr<zu::provider::SampleProvider> provider_;
  std::uint16_t port_ = 0;
  std::mutex logMutex_;
  std::vector<std::string> log_;
};

const char kStations[] = "/a/api.mobile.station.get?type=JSON.1";
const char kHeaderInfo[] = "/pelta_bapi/Android/index/headerinfo";
const char kGzip[] = "Accept-Encoding: gzip\r\n";

}  // namespace provider_test

#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "kodi20/check/LineupSource.h"

namespace httplib {
class Server;
}

namespace zu {
namespace kodi20 {
namespace check {

// Serves a lineup as "/playlist.m3u" and "/guide.xml", answers stream and logo paths with a
// few bytes, and records every path asked for. Runs on a thread of its own between Start and
// Stop.
class FixtureServer : public LineupSource {
 public:
  explicit FixtureServer(Lineup lineup);
  ~FixtureServer() override;

  // Binds 127.0.0.1 on a free port and serves. False with error set when it cannot bind.
  bool Start(std::string& error);

  const Lineup& GetLineup() const override { return lineup_; }
  std::vector<LineupShow> ShowsOf(const LineupChannel& channel) const override {
    return channel.shows;
  }
  std::string BaseUrl() const override;
  std::string PlaylistUrl() const override { return BaseUrl() + "/playlist.m3u"; }
  std::string XmltvUrl() const override { return BaseUrl() + "/guide.xml"; }
  bool WaitForRequest(const std::string& path, std::chrono::milliseconds bound) override;
  void Stop() override;

 private:
  void Record(const std::string& path);

  Lineup lineup_;
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::set<std::string> paths_;
};

}  // namespace check
}  // namespace kodi20
}  // namespace zu

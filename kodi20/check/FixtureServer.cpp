#include "kodi20/check/FixtureServer.h"

#include <httplib.h>

namespace zu {
namespace kodi20 {
namespace check {

FixtureServer::FixtureServer(Lineup lineup) : lineup_(std::move(lineup)) {}

FixtureServer::~FixtureServer() {
  Stop();
}

bool FixtureServer::Start(std::string& error) {
  server_.reset(new httplib::Server);
  std::string playlist;
  std::string xmltv = LineupXmltv(lineup_);
  port_ = server_->bind_to_any_port("127.0.0.1");
  if (port_ <= 0) {
    error = "the fixture server cannot bind a port on 127.0.0.1";
    server_.reset();
    return false;
  }
  playlist = LineupPlaylist(lineup_, BaseUrl());
  server_->Get("/playlist.m3u",
               [this, playlist](const httplib::Request& request, httplib::Response& response) {
                 Record(request.path);
                 response.set_content(playlist, "audio/x-mpegurl");
               });
  server_->Get("/guide.xml",
               [this, xmltv](const httplib::Request& request, httplib::Response& response) {
                 Record(request.path);
                 response.set_content(xmltv, "application/xml");
               });
  server_->Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
    Record(request.path);
    if (request.path.rfind("/stream/", 0) == 0) {
      // MPEG transport stream null packets: a player recognises the format and gives up.
      std::string packets;
      for (int i = 0; i < 4; ++i) {
        std::string packet(188, '\xff');
        packet[0] = 0x47;
        packet[1] = 0x1f;
        packet[2] = '\xff';
        packet[3] = 0x10;
        packets += packet;
      }
      response.set_content(packets, "video/mp2t");
    } else {
      response.status = 404;
    }
  });
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  // stop() only ends a server that is running: an early Stop must not miss it.
  for (int wait = 0; wait < 1000 && !server_->is_running(); ++wait)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return true;
}

std::string FixtureServer::BaseUrl() const {
  return "http://127.0.0.1:" + std::to_string(port_);
}

void FixtureServer::Record(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  paths_.insert(path);
  arrived_.notify_all();
}

bool FixtureServer::WaitForRequest(const std::string& path, std::chrono::milliseconds bound) {
  std::unique_lock<std::mutex> lock(mutex_);
  return arrived_.wait_for(lock, bound, [&] { return paths_.count(path) != 0; });
}

void FixtureServer::Stop() {
  if (server_)
    server_->stop();
  if (thread_.joinable())
    thread_.join();
  server_.reset();
}

}  // namespace check
}  // namespace kodi20
}  // namespace zu

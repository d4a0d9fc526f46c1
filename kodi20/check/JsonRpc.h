#pragma once

#include <chrono>
#include <string>

#include <nlohmann/json.hpp>

namespace zu {
namespace kodi20 {
namespace check {

// Kodi's JSON-RPC interface over HTTP on a loopback port. One connection per call; safe to use
// from one thread at a time.
class JsonRpc {
 public:
  explicit JsonRpc(int port) : port_(port) {}

  // Calls the method and returns its "result". False, with error naming the method, when the
  // request fails, times out, or Kodi answers with an error object.
  bool Call(const std::string& method, const nlohmann::json& params, nlohmann::json& result,
            std::string& error, std::chrono::seconds timeout = std::chrono::seconds(30));

  int Port() const { return port_; }

 private:
  int port_;
  int nextId_ = 1;
};

}  // namespace check
}  // namespace kodi20
}  // namespace zu

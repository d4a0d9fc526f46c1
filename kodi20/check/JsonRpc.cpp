#include "kodi20/check/JsonRpc.h"

#include <httplib.h>

namespace zu {
namespace kodi20 {
namespace check {

bool JsonRpc::Call(const std::string& method, const nlohmann::json& params, nlohmann::json& result,
                   std::string& error, std::chrono::seconds timeout) {
  nlohmann::json request = {{"jsonrpc", "2.0"}, {"id", nextId_++}, {"method", method}};
  if (!params.is_null())
    request["params"] = params;
  httplib::Client client("127.0.0.1", port_);
  client.set_connection_timeout(std::chrono::seconds(5));
  client.set_read_timeout(timeout);
  client.set_write_timeout(timeout);
  auto response = client.Post("/jsonrpc", request.dump(), "application/json");
  if (!response) {
    error = method + ": no answer from Kodi (" + httplib::to_string(response.error()) + ")";
    return false;
  }
  if (response->status != 200) {
    error = method + ": HTTP status " + std::to_string(response->status);
    return false;
  }
  nlohmann::json answer = nlohmann::json::parse(response->body, nullptr, false);
  if (answer.is_discarded() || !answer.is_object()) {
    error = method + ": the answer is not a JSON object";
    return false;
  }
  if (answer.contains("error")) {
    error = method + ": " + answer["error"].dump();
    return false;
  }
  if (!answer.contains("result")) {
    error = method + ": the answer has no result";
    return false;
  }
  result = answer["result"];
  return true;
}

}  // namespace check
}  // namespace kodi20
}  // namespace zu

#include "provider/ControlPath.h"

#include <httplib.h>

#include <vector>

#include "provider/FaultSwitches.h"
#include "provider/Faults.h"
#include "provider/RequestLog.h"

namespace zu {
namespace provider {

void ControlPath::AddTo(httplib::Server& server) const {
  auto answer = [](httplib::Response& response, bool ok, const std::string& text) {
    response.status = ok ? 200 : 400;
    response.set_content(text + "\n", "text/plain");
  };
  server.Post("/_control/fault",
              [this, answer](const httplib::Request& request, httplib::Response& response) {
                std::string option =
                    request.get_param_value("endpoint") + "=" + request.get_param_value("kind");
                if (request.has_param("status")) {
                  option += ":" + request.get_param_value("status");
                }
                for (const char* name : {"skip", "times", "bytes", "interval"}) {
                  if (request.has_param(name)) {
                    option += std::string(",") + name + "=" + request.get_param_value(name);
                  }
                }
                std::vector<Endpoint> endpoints;
                FaultRule rule;
                std::string error;
                if (!ParseFaultOption(option, endpoints, rule, error)) {
                  log_("control: " + error);
                  answer(response, false, error);
                  return;
                }
                for (Endpoint endpoint : endpoints) {
                  switches_.SetFault(endpoint, rule);
                }
                answer(response, true, "fault " + option);
              });
  server.Post("/_control/clear",
              [this, answer](const httplib::Request&, httplib::Response& response) {
                for (std::size_t i = 0; i < kEndpointCount; ++i) {
                  switches_.SetFault(static_cast<Endpoint>(i), FaultRule());
                }
                answer(response, true, "faults cleared");
              });
  server.Post("/_control/transfer",
              [this, answer](const httplib::Request& request, httplib::Response& response) {
                std::string option =
                    request.get_param_value("endpoint") + "=" + request.get_param_value("framing");
                for (const char* modifier : {"gzip", "latin1", "lower-case-headers"}) {
                  std::string state = request.get_param_value(modifier);
                  if (state == "on" || state == "off") {
                    option += (state == "on" ? "+" : "-") + std::string(modifier);
                  } else if (!state.empty()) {
                    answer(response, false, std::string(modifier) + " must be on or off");
                    return;
                  }
                }
                std::vector<Endpoint> endpoints;
                Transfer transfer;
                std::string error;
                if (!ParseTransferOption(option, endpoints, transfer, error)) {
                  log_("control: " + error);
                  answer(response, false, error);
                  return;
                }
                for (Endpoint endpoint : endpoints) {
                  switches_.SetTransfer(endpoint, transfer);
                }
                answer(response, true, "transfer " + option);
              });
  server.Post("/_control/quirk",
              [this, answer](const httplib::Request& request, httplib::Response& response) {
                std::string name = request.get_param_value("name");
                std::string state = request.get_param_value("state");
                Quirk quirk;
                if (!ParseQuirk(name, quirk)) {
                  log_("control: unknown quirk '" + name + "'");
                  answer(response, false, "unknown quirk '" + name + "'");
                  return;
                }
                if (state != "on" && state != "off" && !state.empty()) {
                  answer(response, false, "state must be on or off");
                  return;
                }
                switches_.SetQuirk(quirk, state != "off");
                answer(response, true, "quirk " + name + (state == "off" ? " off" : " on"));
              });
  server.Post("/_control/offline", [this, answer](const httplib::Request& request,
                                                  httplib::Response& response) {
    std::uint32_t seconds = 0;
    if (request.has_param("seconds") && !ParseUint32(request.get_param_value("seconds"), seconds)) {
      answer(response, false, "seconds must be a decimal number");
      return;
    }
    // The answer goes out before the listener closes: the switch happens elsewhere.
    offlineFor_(std::chrono::seconds(seconds));
    answer(
        response, true,
        "going offline" + (seconds > 0 ? " for " + std::to_string(seconds) + " s" : std::string()));
  });
  server.Get("/_control/requests", [this](const httplib::Request&, httplib::Response& response) {
    std::string text;
    for (const RequestRecord& record : requests_.Records()) {
      text += record.method + " " + record.target + "\n";
    }
    response.set_content(text, "text/plain");
  });
  server.Post("/_control/requests/clear",
              [this, answer](const httplib::Request&, httplib::Response& response) {
                requests_.Clear();
                answer(response, true, "requests cleared");
              });
}

}  // namespace provider
}  // namespace zu

#pragma once

#include <functional>
#include <memory>
#include <string>

#include "provider/Responder.h"

namespace httplib {
class Server;
}

namespace zu {
namespace provider {

class Catalogue;
class ControlPath;
class DocumentWriter;
class FaultSwitches;
class Guide;
class RequestLog;

// Builds the HTTP server of the provider: every document path routed to its endpoint, its
// request recorded and counted, its fault and transfer form decided and its document made;
// the exports for IPTV clients; the control path; 404 for everything else.
class Router {
 public:
  struct Parts {
    const Catalogue& catalogue;
    const Guide& guide;
    const DocumentWriter& writer;
    FaultSwitches& switches;
    RequestLog& requests;
    const Responder& responder;
    const ControlPath& control;
    std::function<std::string()> baseUrl;  // "http://HOST:PORT"
    Responder::LogFunction log;
    bool logRequests;  // one log line per request
  };

  explicit Router(Parts parts) : parts_(std::move(parts)) {}

  // A new server (a stopped one cannot be started again); the router must outlive it.
  std::unique_ptr<httplib::Server> MakeServer() const;

 private:
  void Record(const httplib::Request& request) const;
  void Route(httplib::Server& server, const std::string& pattern, Endpoint endpoint,
             const Responder::Maker& make) const;
  void AddDocuments(httplib::Server& server) const;
  void AddExports(httplib::Server& server) const;
  Document Reject(const httplib::Request& request, int status, const std::string& reason) const;

  Document StationList(const httplib::Request& request, bool wrongTypes, Quirks quirks) const;
  Document ShowList(const httplib::Request& request, bool wrongTypes, Quirks quirks) const;
  Document ShowDetails(const httplib::Request& request, bool wrongTypes, Quirks quirks) const;
  Document Logo(const httplib::Request& request, unsigned width, unsigned height) const;
  Document Image(const httplib::Request& request) const;
  Document Stream(const httplib::Request& request, const char* contentType) const;

  Parts parts_;
};

}  // namespace provider
}  // namespace zu

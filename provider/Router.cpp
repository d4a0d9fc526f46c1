#include "provider/Router.h"

#include <strings.h>
#include <sys/socket.h>

#include <httplib.h>

#include <exception>
#include <utility>

#include "provider/Catalogue.h"
#include "provider/CivilTime.h"
#include "provider/Codec.h"
#include "provider/ControlPath.h"
#include "provider/DocumentWriter.h"
#include "provider/ExportWriter.h"
#include "provider/FaultSwitches.h"
#include "provider/Guide.h"
#include "provider/RequestLog.h"

namespace zu {
namespace provider {
namespace {

// Where the client's original Accept-Encoding is kept once the library's own compression has
// been taken out of the picture (see Router::Record).
const char kAcceptEncodingCopy[] = "X-Zu-Accept-Encoding";

Document Json(std::string body) {
  return Document{200, std::move(body), kJsonType, BodyKind::kJson};
}

}  // namespace

std::unique_ptr<httplib::Server> Router::MakeServer() const {
  auto server = std::make_unique<httplib::Server>();
  server->new_task_queue = [] { return new httplib::ThreadPool(16); };
  server->set_keep_alive_timeout(30);
  // A response goes out in two writes (header, then body); on a kept connection Nagle's
  // algorithm would hold the body until the client's delayed acknowledgement of the header,
  // 40 ms later. Servers in the field send at once.
  server->set_tcp_nodelay(true);
  server->set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    setsockopt(sock, SOL_SOCKET, SO_REUSEPORT, &yes, sizeof(yes));
  });
  server->set_pre_routing_handler([this](const httplib::Request& request, httplib::Response&) {
    Record(request);
    return httplib::Server::HandlerResponse::Unhandled;
  });
  server->set_post_routing_handler([](const httplib::Request&, httplib::Response& response) {
    Responder::ApplyHeaderCase(response);
  });
  server->set_exception_handler([this](const httplib::Request& request, httplib::Response& response,
                                       std::exception_ptr failure) {
    std::string text = "unknown exception";
    try {
      std::rethrow_exception(failure);
    } catch (const std::exception& e) {
      text = e.what();
    } catch (...) {
    }
    parts_.log("request " + request.target + " failed: " + text);
    Responder::SendError(response, 500, "Internal Server Error");
  });
  if (parts_.logRequests) {
    server->set_logger([this](const httplib::Request& request, const httplib::Response& response) {
      parts_.log(request.method + " " + request.target + " -> " + std::to_string(response.status));
    });
  }
  AddDocuments(*server);
  AddExports(*server);
  parts_.control.AddTo(*server);
  server->Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
    parts_.log("no document at " + request.target);
    Responder::SendError(response, 404, "Not Found");
  });
  return server;
}

void Router::Record(const httplib::Request& request) const {
  // The HTTP library compresses some content types on its own whenever the client accepts
  // gzip; every encoding decision is ours, so its view of Accept-Encoding is removed. The
  // request object is not const at its origin, only in the handler signature.
  httplib::Request& mutableRequest = const_cast<httplib::Request&>(request);
  std::string acceptEncoding;
  for (auto it = request.headers.begin(); it != request.headers.end(); ++it) {
    if (strcasecmp(it->first.c_str(), "Accept-Encoding") == 0) {
      acceptEncoding += (acceptEncoding.empty() ? "" : ",") + it->second;
    }
  }
  mutableRequest.headers.erase("Accept-Encoding");
  mutableRequest.headers.emplace(kAcceptEncodingCopy, acceptEncoding);

  if (request.path.compare(0, 10, "/_control/") == 0) {
    return;
  }
  RequestRecord record;
  record.method = request.method;
  record.target = request.target;
  for (const auto& header : request.headers) {
    if (header.first == kAcceptEncodingCopy) {
      if (!acceptEncoding.empty()) {
        record.headers.emplace_back("Accept-Encoding", acceptEncoding);
      }
    } else if (header.first != "REMOTE_ADDR" && header.first != "REMOTE_PORT" &&
               header.first != "LOCAL_ADDR" && header.first != "LOCAL_PORT") {
      record.headers.emplace_back(header.first, header.second);
    }
  }
  parts_.requests.Add(std::move(record));
}

void Router::Route(httplib::Server& server, const std::string& pattern, Endpoint endpoint,
                   const Responder::Maker& make) const {
  server.Get(pattern, [this, endpoint, make](const httplib::Request& request,
                                             httplib::Response& response) {
    FaultSwitches::Decision decision = parts_.switches.Take(endpoint);
    parts_.requests.CountRouted(endpoint);
    parts_.responder.Serve(request, response, endpoint, decision,
                           AcceptsGzip(request.get_header_value(kAcceptEncodingCopy)), make);
  });
}

void Router::AddDocuments(httplib::Server& server) const {
  Route(server, "/pelta_bapi/Android/index/headerinfo", Endpoint::kHeaderInfo,
        [this](const httplib::Request&, bool, Quirks) { return Json(parts_.writer.HeaderInfo()); });
  Route(server, R"(/a/api\.mobile\.station\.get)", Endpoint::kStationList,
        [this](const httplib::Request& request, bool wrongTypes, Quirks quirks) {
          return StationList(request, wrongTypes, quirks);
        });
  const std::pair<const char*, Endpoint> playlists[] = {
      {R"(/a/service\.fta\.m3u)", Endpoint::kPlaylistFta},
      {R"(/a/service\.plus\.m3u)", Endpoint::kPlaylistPlus},
      {R"(/a/service\.m3u)", Endpoint::kPlaylistAll},
  };
  for (const auto& playlist : playlists) {
    Endpoint endpoint = playlist.second;
    Route(server, playlist.first, endpoint,
          [this, endpoint](const httplib::Request&, bool, Quirks quirks) {
            return Document{200, parts_.writer.Playlist(endpoint, parts_.baseUrl(), quirks),
                            kPlaylistType, BodyKind::kPlaylist};
          });
  }
  Route(server, R"(/a/api\.mobile\.event\.hour)", Endpoint::kShowList,
        [this](const httplib::Request& request, bool wrongTypes, Quirks quirks) {
          return ShowList(request, wrongTypes, quirks);
        });
  Route(server, R"(/a/api\.mobile\.event\.get)", Endpoint::kShowDetails,
        [this](const httplib::Request& request, bool wrongTypes, Quirks quirks) {
          return ShowDetails(request, wrongTypes, quirks);
        });
  Route(server, R"(/logo/60x30/([^/]+))", Endpoint::kLogo,
        [this](const httplib::Request& request, bool, Quirks) { return Logo(request, 60, 30); });
  Route(server, R"(/station/128x64/([^/]+))", Endpoint::kLogo,
        [this](const httplib::Request& request, bool, Quirks) { return Logo(request, 128, 64); });
  Route(server, R"(/image/([0-9]+)\.png)", Endpoint::kImage,
        [this](const httplib::Request& request, bool, Quirks) { return Image(request); });
  Route(server, R"(/stream/.*)", Endpoint::kStream,
        [this](const httplib::Request& request, bool, Quirks) {
          return Stream(request, "video/mp2t");
        });
  Route(server, R"(/radio/.*)", Endpoint::kStream,
        [this](const httplib::Request& request, bool, Quirks) {
          return Stream(request, "audio/mpeg");
        });
  Route(server, R"(/radio\.m3u)", Endpoint::kRadio, [this](const httplib::Request&, bool, Quirks) {
    return Document{200, parts_.writer.RadioPlaylist(parts_.baseUrl()), kPlaylistType,
                    BodyKind::kPlaylist};
  });
}

Document Router::Reject(const httplib::Request& request, int status,
                        const std::string& reason) const {
  parts_.log("rejected " + request.method + " " + request.target + ": " + reason);
  return Document{status, reason, kHtmlType, BodyKind::kBinary};
}

Document Router::StationList(const httplib::Request& request, bool wrongTypes,
                             Quirks quirks) const {
  if (request.get_param_value("type") != "JSON.1") {
    return Reject(request, 400, "unsupported type '" + request.get_param_value("type") + "'");
  }
  return Json(parts_.writer.StationList(parts_.baseUrl(), wrongTypes, quirks));
}

Document Router::ShowList(const httplib::Request& request, bool wrongTypes, Quirks quirks) const {
  std::string periodText = request.get_param_value("period");
  Period period;
  std::string error;
  if (!ParsePeriod(periodText, 240, period, error)) {
    return Reject(request, 400, error);
  }
  std::uint32_t uid = 0;
  if (!ParseUint32(request.get_param_value("stationuid"), uid)) {
    return Reject(request, 400, "stationuid must be a decimal number");
  }
  return Json(parts_.writer.ShowList(uid, periodText, period, wrongTypes, quirks));
}

Document Router::ShowDetails(const httplib::Request& request, bool wrongTypes,
                             Quirks quirks) const {
  if (request.get_param_value("type") != "JSON.3") {
    return Reject(request, 400, "unsupported type '" + request.get_param_value("type") + "'");
  }
  std::uint32_t id = 0;
  if (!ParseUint32(request.get_param_value("evid"), id)) {
    return Reject(request, 400, "evid must be a decimal number");
  }
  std::string document;
  if (!parts_.writer.ShowDetails(id, parts_.baseUrl(), wrongTypes, quirks, document)) {
    return Reject(request, 404, "no event " + std::to_string(id));
  }
  return Json(document);
}

Document Router::Logo(const httplib::Request& request, unsigned width, unsigned height) const {
  const Station* station = parts_.catalogue.FindByLogo(request.matches[1].str());
  if (station == nullptr) {
    return Reject(request, 404, "no such logo");
  }
  return Document{200, Codec::Badge(width, height, station->colour, station->uid), "image/png",
                  BodyKind::kBinary};
}

Document Router::Image(const httplib::Request& request) const {
  std::uint32_t id = 0;
  Show show;
  const Station* station = nullptr;
  if (!ParseUint32(request.matches[1].str(), id) || !parts_.guide.Find(id, show, station)) {
    return Reject(request, 404, "no such image");
  }
  return Document{200, Codec::Badge(160, 90, station->colour ^ (id & 0x3F3F3F), id), "image/png",
                  BodyKind::kBinary};
}

Document Router::Stream(const httplib::Request& request, const char* contentType) const {
  if (!parts_.writer.ListsStream(request.path)) {
    return Reject(request, 404, "no stream at " + request.path);
  }
  if (request.path.compare(0, 7, "/radio/") == 0) {
    return Document{200, std::string("ID3\x03\x00\x00\x00\x00\x00\x00", 10), contentType,
                    BodyKind::kBinary};
  }
  // Four null packets, enough for a player to recognise a transport stream, stand for the
  // live stream when there is no stream file.
  std::string packets;
  for (int i = 0; i < 4; ++i) {
    std::string packet(188, static_cast<char>(0xFF));
    packet[0] = 0x47;
    packet[1] = 0x1F;
    packet[2] = static_cast<char>(0xFF);
    packet[3] = static_cast<char>(0x10 | i);
    packets += packet;
  }
  return Document{200, packets, contentType, BodyKind::kLiveStream};
}

void Router::AddExports(httplib::Server& server) const {
  // For generic IPTV clients run side by side with the add-on; no faults or transfer forms
  // apply to these two.
  server.Get("/export/playlist.m3u", [this](const httplib::Request&, httplib::Response& response) {
    response.set_content(ExportWriter(parts_.catalogue, parts_.guide).Playlist(parts_.baseUrl()),
                         kPlaylistType);
  });
  server.Get(
      "/export/xmltv.xml", [this](const httplib::Request& request, httplib::Response& response) {
        // The guide from `past` days before now to `days` days after it (defaults 1 and 3, the
        // span a media centre shows by default).
        std::uint32_t days = 3;
        std::uint32_t past = 1;
        if ((request.has_param("days") && !ParseUint32(request.get_param_value("days"), days)) ||
            (request.has_param("past") && !ParseUint32(request.get_param_value("past"), past)) ||
            days > 14 || past > 14) {
          parts_.log("export: days and past must be whole numbers of at most 14");
          Responder::SendError(response, 400, "days and past must be whole numbers of at most 14");
          return;
        }
        CivilSeconds now = NowLocal();
        response.set_content(
            ExportWriter(parts_.catalogue, parts_.guide)
                .Xmltv(parts_.baseUrl(), now - static_cast<CivilSeconds>(past) * kSecondsPerDay,
                       now + static_cast<CivilSeconds>(days) * kSecondsPerDay),
            "application/xml");
      });
}

}  // namespace provider
}  // namespace zu

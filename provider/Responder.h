#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "provider/FaultSwitches.h"
#include "provider/Faults.h"

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

namespace zu {
namespace provider {

class TransportStream;

inline constexpr char kJsonType[] = "application/json; charset=utf-8";
inline constexpr char kPlaylistType[] = "audio/x-mpegurl";
inline constexpr char kHtmlType[] = "text/html; charset=utf-8";

// True when the Accept-Encoding value admits gzip ("gzip", "x-gzip" or "*" without q=0).
bool AcceptsGzip(const std::string& acceptEncoding);

enum class BodyKind {
  kJson,
  kPlaylist,
  kBinary,
  kLiveStream,  // no body of its own: the stream file's packets without end
};

// A document to send, or the status and reason of a refusal.
struct Document {
  int status = 200;
  std::string body;
  std::string contentType;
  BodyKind kind = BodyKind::kJson;
};

// Writes responses: a document in its endpoint's transfer form with the fault decided for the
// request, the live stream, error pages. Runs on the HTTP library's request threads.
class Responder {
 public:
  using LogFunction = std::function<void(const std::string&)>;
  // Makes the document of a request; wrongTypes asks for valid JSON of wrong member types.
  using Maker = std::function<Document(const httplib::Request&, bool wrongTypes, Quirks quirks)>;

  // stream may be null (live stream requests then get a few null packets); with paced, the
  // live stream goes out at its own pace, a second ahead, else as fast as the client reads.
  Responder(FaultSwitches& switches, LogFunction log, const TransportStream* stream, bool paced)
      : switches_(switches), log_(std::move(log)), stream_(stream), paced_(paced) {}

  void Serve(const httplib::Request& request, httplib::Response& response, Endpoint endpoint,
             const FaultSwitches::Decision& decision, bool acceptsGzip, const Maker& make) const;
  // A small HTML page for the status.
  static void SendError(httplib::Response& response, int status, const std::string& text);
  // Puts every header name of the response in lower case when Serve asked for it; to be
  // called when the headers are complete, right before they are written.
  static void ApplyHeaderCase(httplib::Response& response);

 private:
  void Hang(const httplib::Request& request, httplib::Response& response, Endpoint endpoint,
            const FaultSwitches::Decision& decision) const;
  void SendBody(const httplib::Request& request, httplib::Response& response,
                const std::string& body, const std::string& contentType, Framing framing) const;
  void SendDripping(httplib::Response& response, const std::string& body,
                    const std::string& contentType, unsigned intervalMs,
                    std::uint64_t generation) const;
  void SendThenReset(const httplib::Request& request, httplib::Response& response,
                     const std::string& body, const std::string& contentType) const;
  void SendHuge(const httplib::Request& request, httplib::Response& response, Endpoint endpoint,
                std::uint64_t size, Framing framing, std::uint64_t generation) const;
  void SendLiveStream(const httplib::Request& request, httplib::Response& response,
                      const std::string& contentType, Framing framing,
                      std::uint64_t generation) const;

  FaultSwitches& switches_;
  const LogFunction log_;
  const TransportStream* const stream_;
  const bool paced_;
};

}  // namespace provider
}  // namespace zu

#include "provider/Responder.h"

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <memory>

#include "provider/Codec.h"
#include "provider/Connection.h"
#include "provider/TransportStream.h"

namespace zu {
namespace provider {
namespace {

// Set by Serve for ApplyHeaderCase; never sent.
const char kLowerCaseMark[] = "X-Zu-Lower-Case-Headers";

// Sizes of the chunks a chunked body is cut into: tiny, odd and page-sized ones, so a
// de-chunker meets chunk boundaries everywhere.
const std::size_t kChunkSizes[] = {1, 17, 512, 4096, 3, 1000, 8192, 250};

// Live stream packets per write.
const std::size_t kStreamBlock = 64 * TransportStream::kPacketSize;

// A body without length ends when the connection does. The library would keep the
// connection open for another request, so the caller half-closes it (EndBody) once the last
// byte is out; -1 when the connection cannot be found (then the body ends at the library's
// keep-alive timeout, or at once for clients that asked to close).
int CloseAfterBody(const httplib::Request& request, httplib::Response& response) {
  response.set_header("Connection", "close");
  return FindConnection(request);
}

// The bytes of a huge body at [offset, offset + count): a valid document of the endpoint's
// kind whose middle is padding.
struct HugeBody {
  std::string prefix;
  std::string suffix;
  char filler;
  std::uint64_t size;

  void Read(std::uint64_t offset, std::size_t count, std::string& out) const {
    out.assign(count, filler);
    for (std::size_t i = 0; i < count; ++i) {
      std::uint64_t at = offset + i;
      if (at < prefix.size()) {
        out[i] = prefix[static_cast<std::size_t>(at)];
      } else if (at >= size - suffix.size()) {
        out[i] = suffix[static_cast<std::size_t>(at - (size - suffix.size()))];
      }
    }
  }
};

std::string ErrorPage(int status, const std::string& text) {
  return "<html><head><title>" + std::to_string(status) + "</title></head><body><h1>" +
         std::to_string(status) + " " + text + "</h1></body></html>\n";
}

}  // namespace

bool AcceptsGzip(const std::string& acceptEncoding) {
  std::size_t begin = 0;
  while (begin <= acceptEncoding.size()) {
    std::size_t end = acceptEncoding.find(',', begin);
    if (end == std::string::npos) {
      end = acceptEncoding.size();
    }
    std::string item = acceptEncoding.substr(begin, end - begin);
    std::string coding = item.substr(0, item.find(';'));
    coding.erase(0, coding.find_first_not_of(" \t"));
    coding.erase(coding.find_last_not_of(" \t") + 1);
    for (char& c : coding) {
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (coding == "gzip" || coding == "x-gzip" || coding == "*") {
      std::size_t q = item.find("q=");
      if (q == std::string::npos || std::strtod(item.c_str() + q + 2, nullptr) > 0.0) {
        return true;
      }
    }
    begin = end + 1;
  }
  return false;
}

void Responder::SendError(httplib::Response& response, int status, const std::string& text) {
  response.status = status;
  response.set_content(ErrorPage(status, text), kHtmlType);
}

void Responder::ApplyHeaderCase(httplib::Response& response) {
  if (!response.has_header(kLowerCaseMark)) {
    return;
  }
  httplib::Headers lowered;
  for (const auto& header : response.headers) {
    if (header.first != kLowerCaseMark) {
      std::string name = header.first;
      for (char& c : name) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      }
      lowered.emplace(name, header.second);
    }
  }
  response.headers = std::move(lowered);
}

void Responder::Serve(const httplib::Request& request, httplib::Response& response,
                      Endpoint endpoint, const FaultSwitches::Decision& decision, bool acceptsGzip,
                      const Maker& make) const {
  const FaultRule& rule = decision.rule;
  const Transfer& transfer = decision.transfer;
  if (transfer.lowerCaseHeaders) {
    response.set_header(kLowerCaseMark, "1");
  }
  switch (rule.fault) {
    case Fault::kHang:
      Hang(request, response, endpoint, decision);
      return;
    case Fault::kHttpError:
      SendError(response, rule.status, "Injected failure");
      return;
    case Fault::kHugeBody:
      SendHuge(request, response, endpoint, rule.hugeBytes, transfer.framing, decision.generation);
      return;
    default:
      break;
  }
  Document document = make(request, rule.fault == Fault::kWrongTypes, decision.quirks);
  if (document.status != 200) {
    SendError(response, document.status, document.body);
    return;
  }
  if (document.kind == BodyKind::kLiveStream && stream_ != nullptr) {
    SendLiveStream(request, response, document.contentType, transfer.framing, decision.generation);
    return;
  }
  std::string body = std::move(document.body);
  if (transfer.latin1 &&
      (document.kind == BodyKind::kJson || document.kind == BodyKind::kPlaylist)) {
    body = Codec::Windows1252(body);
    std::size_t charset = document.contentType.find("charset=utf-8");
    if (charset != std::string::npos) {
      document.contentType.replace(charset, 13, "charset=ISO-8859-1");
    }
  }
  bool spoil = rule.fault == Fault::kMalformed ||
               (rule.fault == Fault::kWrongTypes && document.kind != BodyKind::kJson);
  if (rule.fault == Fault::kEmptyBody) {
    body.clear();
  } else if (spoil) {
    switch (document.kind) {
      case BodyKind::kJson:
        // Cut and followed by markup: invalid wherever the cut falls, also inside a string.
        body = body.substr(0, body.size() * 2 / 3) + "<!-- upstream timeout -->";
        break;
      case BodyKind::kPlaylist:
        body = ErrorPage(502, "Bad Gateway");
        break;
      case BodyKind::kBinary:
      case BodyKind::kLiveStream:
        body.resize(body.size() / 2);
        break;
    }
  }
  bool corrupt = rule.fault == Fault::kCorruptGzip;
  bool truncated = rule.fault == Fault::kTruncatedGzip;
  bool gzip =
      rule.fault != Fault::kEmptyBody && ((transfer.gzip && acceptsGzip) || corrupt || truncated);
  if (gzip) {
    body = Codec::Gzip(body);
    if (truncated) {
      body.resize(std::max<std::size_t>(11, body.size() / 2));
    }
    if (corrupt && body.size() > 10) {
      // Right after the 10-byte member header: a final block of the reserved type 3, which
      // every inflater rejects.
      body[10] = static_cast<char>(0xFF);
    }
    response.set_header("Content-Encoding", "gzip");
    response.set_header("Vary", "Accept-Encoding");
  }
  if (rule.fault == Fault::kDrip) {
    SendDripping(response, body, document.contentType, rule.dripIntervalMs, decision.generation);
  } else if (rule.fault == Fault::kResetMidBody) {
    SendThenReset(request, response, body, document.contentType);
  } else {
    SendBody(request, response, body, document.contentType, transfer.framing);
  }
}

void Responder::Hang(const httplib::Request& request, httplib::Response& response,
                     Endpoint endpoint, const FaultSwitches::Decision& decision) const {
  int fd = FindConnection(request);
  if (fd < 0) {
    log_("cannot find the connection of " + request.target + " to hang it; answering 503");
    SendError(response, 503, "Service Unavailable");
    return;
  }
  // The client going away cannot be waited for, only looked at now and then.
  while (!switches_.WaitFaultChanged(endpoint, decision, std::chrono::milliseconds(100)) &&
         !PeerClosed(fd)) {
  }
  // Never answered: the connection ends with a reset, whatever released it.
  ResetConnection(fd);
  response.status = 503;
}

void Responder::SendBody(const httplib::Request& request, httplib::Response& response,
                         const std::string& body, const std::string& contentType,
                         Framing framing) const {
  if (framing == Framing::kContentLength) {
    response.set_content(body, contentType);
    return;
  }
  auto data = std::make_shared<std::string>(body);
  if (framing == Framing::kChunked) {
    auto piece = std::make_shared<std::size_t>(0);
    response.set_chunked_content_provider(
        contentType, [data, piece](std::size_t offset, httplib::DataSink& sink) {
          if (offset >= data->size()) {
            sink.done();
            return true;
          }
          std::size_t size = kChunkSizes[(*piece)++ % (sizeof(kChunkSizes) / sizeof(std::size_t))];
          return sink.write(data->data() + offset, std::min(size, data->size() - offset));
        });
    return;
  }
  int fd = CloseAfterBody(request, response);
  response.set_content_provider(
      contentType, [data, fd](std::size_t offset, httplib::DataSink& sink) {
        if (offset >= data->size()) {
          sink.done();
          EndBody(fd);
          return true;
        }
        std::size_t size = std::min<std::size_t>(16384, data->size() - offset);
        return sink.write(data->data() + offset, size);
      });
}

void Responder::SendDripping(httplib::Response& response, const std::string& body,
                             const std::string& contentType, unsigned intervalMs,
                             std::uint64_t generation) const {
  if (body.empty()) {
    response.set_content(body, contentType);
    return;
  }
  auto data = std::make_shared<std::string>(body);
  response.set_content_provider(
      data->size(), contentType,
      [this, data, generation, intervalMs](std::size_t offset, std::size_t,
                                           httplib::DataSink& sink) {
        if (offset > 0 &&
            switches_.WaitReleased(generation, std::chrono::milliseconds(intervalMs))) {
          return false;
        }
        return sink.write(data->data() + offset, 1);
      });
}

void Responder::SendThenReset(const httplib::Request& request, httplib::Response& response,
                              const std::string& body, const std::string& contentType) const {
  int fd = FindConnection(request);
  if (fd < 0) {
    log_("cannot find the connection of " + request.target + " to reset it");
  }
  auto data = std::make_shared<std::string>(body);
  response.set_content_provider(
      std::max<std::size_t>(data->size(), 2), contentType,
      [data, fd](std::size_t offset, std::size_t, httplib::DataSink& sink) {
        std::size_t half = data->size() / 2;
        if (offset < half) {
          return sink.write(data->data() + offset, half - offset);
        }
        if (fd >= 0) {
          WaitUntilSent(fd);
          ResetConnection(fd);
        }
        return false;
      });
}

void Responder::SendHuge(const httplib::Request& request, httplib::Response& response,
                         Endpoint endpoint, std::uint64_t size, Framing framing,
                         std::uint64_t generation) const {
  auto huge = std::make_shared<HugeBody>();
  std::string contentType = kJsonType;
  switch (endpoint) {
    case Endpoint::kPlaylistFta:
    case Endpoint::kPlaylistPlus:
    case Endpoint::kPlaylistAll:
    case Endpoint::kRadio:
      huge->prefix = "#EXTM3U\n";
      huge->filler = ' ';
      contentType = kPlaylistType;
      break;
    case Endpoint::kShowList:
      huge->prefix = "[{},[";
      huge->suffix = "]]";
      huge->filler = ' ';
      break;
    case Endpoint::kLogo:
    case Endpoint::kImage:
    case Endpoint::kStream:
      huge->filler = '\0';
      contentType = "application/octet-stream";
      break;
    default:
      huge->prefix = "{\"data\":[";
      huge->suffix = "]}";
      huge->filler = ' ';
      break;
  }
  huge->size = std::max<std::uint64_t>(size, huge->prefix.size() + huge->suffix.size());
  int fd = framing == Framing::kCloseDelimited ? CloseAfterBody(request, response) : -1;
  auto write = [this, huge, generation, fd](std::uint64_t offset, httplib::DataSink& sink) {
    if (switches_.Released(generation)) {
      return false;
    }
    if (offset >= huge->size) {
      sink.done();
      EndBody(fd);
      return true;
    }
    std::string block;
    huge->Read(offset,
               static_cast<std::size_t>(std::min<std::uint64_t>(65536, huge->size - offset)),
               block);
    return sink.write(block.data(), block.size());
  };
  if (framing == Framing::kContentLength) {
    response.set_content_provider(static_cast<std::size_t>(huge->size), contentType,
                                  [write](std::size_t offset, std::size_t,
                                          httplib::DataSink& sink) { return write(offset, sink); });
  } else if (framing == Framing::kChunked) {
    response.set_chunked_content_provider(contentType, write);
  } else {
    response.set_content_provider(contentType, write);
  }
}

void Responder::SendLiveStream(const httplib::Request&, httplib::Response& response,
                               const std::string& contentType, Framing framing,
                               std::uint64_t generation) const {
  // A second ahead of the stream's own pace, then no faster than a real-time player reads.
  double rate = paced_ ? stream_->BytesPerSecond() : 0;
  auto start = std::chrono::steady_clock::now();
  auto write = [this, rate, start, generation](std::size_t offset, httplib::DataSink& sink) {
    if (rate > 0) {
      auto due = start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                             std::chrono::duration<double>(static_cast<double>(offset) / rate - 1));
      auto now = std::chrono::steady_clock::now();
      if (due > now &&
          switches_.WaitReleased(generation, std::chrono::duration_cast<std::chrono::milliseconds>(
                                                 due - now + std::chrono::milliseconds(1)))) {
        return false;
      }
    }
    if (switches_.Released(generation)) {
      return false;
    }
    std::string block;
    stream_->Read(offset, kStreamBlock, block);
    return sink.write(block.data(), block.size());
  };
  if (framing == Framing::kChunked) {
    response.set_chunked_content_provider(contentType, write);
  } else {
    // Without end there is no length: the body ends with the connection.
    response.set_header("Connection", "close");
    response.set_content_provider(contentType, write);
  }
}

}  // namespace provider
}  // namespace zu

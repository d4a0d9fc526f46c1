#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zu {
namespace provider {

// The documents the sample provider serves; faults and transfer forms are chosen per endpoint.
enum class Endpoint {
  kHeaderInfo,    // /pelta_bapi/Android/index/headerinfo
  kStationList,   // /a/api.mobile.station.get?type=JSON.1
  kPlaylistFta,   // /a/service.fta.m3u
  kPlaylistPlus,  // /a/service.plus.m3u
  kPlaylistAll,   // /a/service.m3u
  kShowList,      // /a/api.mobile.event.hour?period=...&stationuid=...
  kShowDetails,   // /a/api.mobile.event.get?type=JSON.3&evid=...
  kLogo,          // /logo/60x30/<file>, /station/128x64/<file>
  kStream,        // /stream/..., /radio/...
  kImage,         // /image/<id>.png
  kRadio,         // /radio.m3u (generated radio playlist)
};
constexpr std::size_t kEndpointCount = 11;

// What goes wrong with a response. Every fault is visible to the client as described.
enum class Fault {
  kNone,
  kHang,           // the request is read but never answered; released by Stop, going offline,
                   // a change of the endpoint's fault, or the client closing; then reset
  kHttpError,      // status FaultRule::status with a small HTML page
  kEmptyBody,      // 200 with an empty body
  kMalformed,      // 200 with a body that does not parse (JSON, M3U or PNG cut and spoilt)
  kWrongTypes,     // 200 with valid JSON whose members have the wrong types (JSON documents)
  kDrip,           // the real body, one byte every FaultRule::dripIntervalMs
  kResetMidBody,   // Content-Length of the whole body, half of it, then a TCP reset
  kTruncatedGzip,  // gzip body cut in half (framing itself is consistent)
  kCorruptGzip,    // gzip header followed by deflate data that cannot be inflated
  kHugeBody,       // FaultRule::hugeBytes of valid but enormous content, generated while sent
};

struct FaultRule {
  Fault fault = Fault::kNone;
  int status = 500;                        // for kHttpError
  unsigned skip = 0;                       // requests served normally before the fault applies
  unsigned times = 0;                      // requests the fault applies to; 0 = all after skip
  std::uint64_t hugeBytes = 300ull << 20;  // for kHugeBody
  unsigned dripIntervalMs = 1000;          // for kDrip
};

// How the body is framed on the wire.
enum class Framing {
  kContentLength,   // Content-Length header
  kChunked,         // Transfer-Encoding: chunked, chunks of varying sizes
  kCloseDelimited,  // neither; the body ends when the connection closes
};

// How a document travels: its framing, compression, text encoding and the spelling of the
// response's header names.
struct Transfer {
  bool gzip = false;  // gzip the body when the request's Accept-Encoding allows it
  Framing framing = Framing::kContentLength;
  // Text documents (JSON, playlists) in Windows-1252 instead of UTF-8, as services of the
  // Latin-1 age send them: "\xC3\xB6" goes out as the single byte 0xF6. Characters that
  // Windows-1252 lacks go out as "?".
  bool latin1 = false;
  // Every header name in lower case ("content-length", "transfer-encoding", ...).
  bool lowerCaseHeaders = false;
};

// Ways the documents of real services depart from tidy ones. Each is switched on or off for
// every document at once and changes only what the documents say, never how they travel.
enum class Quirk {
  // Raw control characters inside JSON strings: every third station's name holds a TAB or
  // 0x01 (in the station list and, byte for byte, in the playlists), and so does the title
  // of every third show (in the show lists and the details).
  kControlCharacters,
  // The first six shows of every show list carry the ids "abc", "x-1", "", "-5", "0" and a
  // 25-digit number; their details cannot be asked for.
  kUnusableShowIds,
  // One show of every broadcast day ends ten minutes later than before and its successor
  // starts that much later; both keep their ids. Switching it on moves a show between two
  // fetches of the same window.
  kMovedShow,
};
constexpr std::size_t kQuirkCount = 3;
using Quirks = std::bitset<kQuirkCount>;

inline bool Has(const Quirks& quirks, Quirk quirk) {
  return quirks.test(static_cast<std::size_t>(quirk));
}

// A plain decimal number of at most 4294967295 (no sign, no spaces).
bool ParseUint32(const std::string& text, std::uint32_t& value);

// Names used on the command line and by the control path ("stations", "playlist-plus", ...).
const char* EndpointName(Endpoint endpoint);
bool ParseEndpoint(const std::string& name, Endpoint& endpoint);
const char* FaultName(Fault fault);
bool ParseFault(const std::string& name, Fault& fault);
const char* FramingName(Framing framing);
bool ParseFraming(const std::string& name, Framing& framing);
const char* QuirkName(Quirk quirk);  // "control-characters", "unusable-show-ids", "moved-show"
bool ParseQuirk(const std::string& name, Quirk& quirk);

// The transfer form an endpoint uses until it is changed.
Transfer DefaultTransfer(Endpoint endpoint);

// Parses "ENDPOINT=KIND[:STATUS][,skip=N][,times=N][,bytes=N][,interval=MS]"; ENDPOINT may be
// "*" for every endpoint. Example: "playlist-plus=http:404", "shows=drip,interval=50".
// On failure returns false and describes the problem in error.
bool ParseFaultOption(const std::string& option, std::vector<Endpoint>& endpoints, FaultRule& rule,
                      std::string& error);
// Parses "ENDPOINT=FRAMING[{+|-}MODIFIER...]" with the modifiers gzip, latin1 and
// lower-case-headers (+ on, - off; absent: off), e.g. "stations=chunked+gzip",
// "*=length-gzip", "playlist-all=chunked+latin1+lower-case-headers".
bool ParseTransferOption(const std::string& option, std::vector<Endpoint>& endpoints,
                         Transfer& transfer, std::string& error);

}  // namespace provider
}  // namespace zu

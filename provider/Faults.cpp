#include "provider/Faults.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <utility>

namespace zu {
namespace provider {
namespace {

const char* const kEndpointNames[kEndpointCount] = {
    "headerinfo", "stations", "playlist-fta", "playlist-plus", "playlist-all", "shows",
    "details",    "logos",    "streams",      "images",        "radio",
};

struct NamedFault {
  Fault fault;
  const char* name;
};
const NamedFault kFaultNames[] = {
    {Fault::kNone, "none"},
    {Fault::kHang, "hang"},
    {Fault::kHttpError, "http"},
    {Fault::kEmptyBody, "empty"},
    {Fault::kMalformed, "malformed"},
    {Fault::kWrongTypes, "wrong-types"},
    {Fault::kDrip, "drip"},
    {Fault::kResetMidBody, "reset"},
    {Fault::kTruncatedGzip, "truncated-gzip"},
    {Fault::kCorruptGzip, "corrupt-gzip"},
    {Fault::kHugeBody, "huge"},
};

bool ParseUnsigned(const std::string& text, std::uint64_t max, std::uint64_t& value) {
  if (text.empty() || text.size() > 20) {
    return false;
  }
  for (char c : text) {
    if (c < '0' || c > '9') {
      return false;
    }
  }
  errno = 0;
  char* end = nullptr;
  unsigned long long parsed = std::strtoull(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || parsed > max) {
    return false;
  }
  value = parsed;
  return true;
}

bool ParseEndpoints(const std::string& name, std::vector<Endpoint>& endpoints) {
  endpoints.clear();
  if (name == "*") {
    for (std::size_t i = 0; i < kEndpointCount; ++i) {
      endpoints.push_back(static_cast<Endpoint>(i));
    }
    return true;
  }
  Endpoint endpoint;
  if (!ParseEndpoint(name, endpoint)) {
    return false;
  }
  endpoints.push_back(endpoint);
  return true;
}

std::vector<std::string> SplitAt(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t begin = 0;
  for (;;) {
    std::size_t end = text.find(separator, begin);
    parts.push_back(text.substr(begin, end == std::string::npos ? std::string::npos : end - begin));
    if (end == std::string::npos) {
      return parts;
    }
    begin = end + 1;
  }
}

}  // namespace

bool ParseUint32(const std::string& text, std::uint32_t& value) {
  if (text.empty() || text.size() > 10) {
    return false;
  }
  std::uint64_t parsed = 0;
  for (char c : text) {
    if (c < '0' || c > '9') {
      return false;
    }
    parsed = parsed * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (parsed > 0xFFFFFFFFull) {
    return false;
  }
  value = static_cast<std::uint32_t>(parsed);
  return true;
}

const char* EndpointName(Endpoint endpoint) {
  std::size_t index = static_cast<std::size_t>(endpoint);
  return index < kEndpointCount ? kEndpointNames[index] : "unknown";
}

bool ParseEndpoint(const std::string& name, Endpoint& endpoint) {
  for (std::size_t i = 0; i < kEndpointCount; ++i) {
    if (name == kEndpointNames[i]) {
      endpoint = static_cast<Endpoint>(i);
      return true;
    }
  }
  return false;
}

const char* FaultName(Fault fault) {
  for (const NamedFault& entry : kFaultNames) {
    if (entry.fault == fault) {
      return entry.name;
    }
  }
  return "unknown";
}

bool ParseFault(const std::string& name, Fault& fault) {
  for (const NamedFault& entry : kFaultNames) {
    if (name == entry.name) {
      fault = entry.fault;
      return true;
    }
  }
  return false;
}

const char* FramingName(Framing framing) {
  switch (framing) {
    case Framing::kContentLength:
      return "length";
    case Framing::kChunked:
      return "chunked";
    case Framing::kCloseDelimited:
      return "close";
  }
  return "unknown";
}

bool ParseFraming(const std::string& name, Framing& framing) {
  for (Framing candidate : {Framing::kContentLength, Framing::kChunked, Framing::kCloseDelimited}) {
    if (name == FramingName(candidate)) {
      framing = candidate;
      return true;
    }
  }
  return false;
}

const char* QuirkName(Quirk quirk) {
  switch (quirk) {
    case Quirk::kControlCharacters:
      return "control-characters";
    case Quirk::kUnusableShowIds:
      return "unusable-show-ids";
    case Quirk::kMovedShow:
      return "moved-show";
  }
  return "unknown";
}

bool ParseQuirk(const std::string& name, Quirk& quirk) {
  for (std::size_t i = 0; i < kQuirkCount; ++i) {
    if (name == QuirkName(static_cast<Quirk>(i))) {
      quirk = static_cast<Quirk>(i);
      return true;
    }
  }
  return false;
}

Transfer DefaultTransfer(Endpoint endpoint) {
  // A mix like a real front end: compressed JSON, chunked playlists and show lists, plain
  // lengths for images, and a live stream that simply runs until the connection closes.
  switch (endpoint) {
    case Endpoint::kHeaderInfo:
    case Endpoint::kStationList:
    case Endpoint::kShowDetails:
      return Transfer{true, Framing::kContentLength};
    case Endpoint::kShowList:
      return Transfer{true, Framing::kChunked};
    case Endpoint::kPlaylistFta:
    case Endpoint::kPlaylistPlus:
    case Endpoint::kPlaylistAll:
      return Transfer{false, Framing::kChunked};
    case Endpoint::kStream:
      return Transfer{false, Framing::kCloseDelimited};
    case Endpoint::kLogo:
    case Endpoint::kImage:
    case Endpoint::kRadio:
      return Transfer{false, Framing::kContentLength};
  }
  return Transfer{};
}

bool ParseFaultOption(const std::string& option, std::vector<Endpoint>& endpoints, FaultRule& rule,
                      std::string& error) {
  std::size_t equals = option.find('=');
  if (equals == std::string::npos) {
    error = "fault '" + option + "' is not of the form ENDPOINT=KIND[,option=value...]";
    return false;
  }
  if (!ParseEndpoints(option.substr(0, equals), endpoints)) {
    error = "unknown endpoint '" + option.substr(0, equals) + "' in fault '" + option + "'";
    return false;
  }
  std::vector<std::string> parts = SplitAt(option.substr(equals + 1), ',');
  rule = FaultRule();
  std::string kind = parts[0];
  std::size_t colon = kind.find(':');
  std::string status;
  if (colon != std::string::npos) {
    status = kind.substr(colon + 1);
    kind = kind.substr(0, colon);
  }
  if (!ParseFault(kind, rule.fault)) {
    error = "unknown fault kind '" + kind + "' in fault '" + option + "'";
    return false;
  }
  std::uint64_t value = 0;
  if (!status.empty()) {
    if (rule.fault != Fault::kHttpError || !ParseUnsigned(status, 599, value) || value < 100) {
      error = "bad HTTP status '" + status + "' in fault '" + option + "'";
      return false;
    }
    rule.status = static_cast<int>(value);
  }
  for (std::size_t i = 1; i < parts.size(); ++i) {
    std::size_t eq = parts[i].find('=');
    std::string key = parts[i].substr(0, eq);
    std::string text = eq == std::string::npos ? std::string() : parts[i].substr(eq + 1);
    bool ok = false;
    if (key == "skip" && ParseUnsigned(text, 0xFFFFFFFFu, value)) {
      rule.skip = static_cast<unsigned>(value);
      ok = true;
    } else if (key == "times" && ParseUnsigned(text, 0xFFFFFFFFu, value)) {
      rule.times = static_cast<unsigned>(value);
      ok = true;
    } else if (key == "bytes" && ParseUnsigned(text, 1ull << 40, value)) {
      rule.hugeBytes = value;
      ok = true;
    } else if (key == "interval" && ParseUnsigned(text, 3600000, value)) {
      rule.dripIntervalMs = static_cast<unsigned>(value);
      ok = true;
    }
    if (!ok) {
      error = "bad option '" + parts[i] + "' in fault '" + option + "'";
      return false;
    }
  }
  return true;
}

bool ParseTransferOption(const std::string& option, std::vector<Endpoint>& endpoints,
                         Transfer& transfer, std::string& error) {
  std::size_t equals = option.find('=');
  if (equals == std::string::npos) {
    error = "transfer '" + option + "' is not of the form ENDPOINT=FRAMING[+MODIFIER...]";
    return false;
  }
  if (!ParseEndpoints(option.substr(0, equals), endpoints)) {
    error = "unknown endpoint '" + option.substr(0, equals) + "' in transfer '" + option + "'";
    return false;
  }
  std::string form = option.substr(equals + 1);
  std::size_t sign = form.find_first_of("+-");
  std::string modifiers = sign == std::string::npos ? std::string() : form.substr(sign);
  form = form.substr(0, sign);
  if (!ParseFraming(form, transfer.framing)) {
    error = "unknown framing '" + form + "' in transfer '" + option + "' (length, chunked, close)";
    return false;
  }
  transfer.gzip = transfer.latin1 = transfer.lowerCaseHeaders = false;
  const std::pair<const char*, bool*> names[] = {
      {"gzip", &transfer.gzip},
      {"latin1", &transfer.latin1},
      {"lower-case-headers", &transfer.lowerCaseHeaders}};
  std::size_t at = 0;
  while (at < modifiers.size()) {
    bool known = false;
    for (const auto& name : names) {
      std::size_t end = at + 1 + std::char_traits<char>::length(name.first);
      if (modifiers.compare(at + 1, end - at - 1, name.first) == 0 &&
          (end == modifiers.size() || modifiers[end] == '+' || modifiers[end] == '-')) {
        *name.second = modifiers[at] == '+';
        at = end;
        known = true;
        break;
      }
    }
    if (!known) {
      error = "bad modifier '" + modifiers.substr(at) + "' in transfer '" + option +
              "' (gzip, latin1, lower-case-headers)";
      return false;
    }
  }
  return true;
}

}  // namespace provider
}  // namespace zu

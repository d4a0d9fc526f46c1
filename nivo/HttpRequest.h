#pragma once

#include <string>

#include "nivo/HttpFrame.h"
#include "nivo/HttpUrl.h"

namespace zu {
namespace nivo {

// The "User-Agent" sent when a caller names none.
extern const char* const kDefaultUserAgent;

// The header set of a request to url: "User-Agent" (kDefaultUserAgent), "Accept-Encoding"
// ("gzip"), "Connection" ("close", left out with keepAlive: HTTP/1.1 keeps the connection
// by default) and "Host" (url.GetHostAndPort()), then the caller's headers applied in their
// order: an empty value removes the header of that name, any other value adds it or
// replaces the value.
HeaderMap ComposeRequestHeaders(const HttpUrl& url, const HeaderMap& headers,
                                bool keepAlive = false);

// The complete GET request for url with the composed header set: the request line, one line
// per header in ascending byte-wise order of the names, and an empty line. No body.
std::string ComposeRequest(const HttpUrl& url, const HeaderMap& headers, bool keepAlive = false);

// Whether url and headers can be sent as they are: no CR, LF or NUL in the host, the path or
// any header name or value (one of them would end a line early and let the text forge
// further request lines or headers).
bool IsSafeRequest(const HttpUrl& url, const HeaderMap& headers);

}  // namespace nivo
}  // namespace zu

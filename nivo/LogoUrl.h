#pragma once

#include <string>

#include "nivo/HttpUrl.h"

namespace zu {
namespace nivo {

// Where a channel logo is fetched from: the host is the text between the first "://" and the
// next "/", the path everything after that "/" (query included). A port written after the host
// ("http://host:8080/x.png") is used, port 80 otherwise; the scheme is not looked at, the
// request is always plain HTTP. False, with url unchanged, when there is no "://", the host is
// empty, or the port is not a number from 1 to 65535.
bool ParseLogoUrl(const std::string& uri, HttpUrl& url);

}  // namespace nivo
}  // namespace zu

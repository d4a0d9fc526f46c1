#pragma once

#include <string>

#include "nivo/Channel.h"

namespace zu {
namespace nivo {

// The provider's logo URL with the first "/logo/" made "/station/" and then the first
// "/60x30/" made "/128x64/": the larger image of the same station.
std::string RewriteLogoUri(const std::string& uri);

// Builds the TV channel table from a station list document ({"data": [{"Station": {...}}]}).
// Each station starts from previous's channel of the same uid, so the stream URL and radio flag
// carry over; name, number, logo and groups come from the document, and a later station with
// the same uid replaces an earlier one. Stations of previous that the document does not list
// are not in the result. A station whose "Channel" array has fewer than two elements is
// skipped with a Warning naming its UID; the others load.
// Throws JsonSyntaxError when body is not JSON, and JsonError when a member is missing or of
// another type; previous is never changed.
Channels ParseStationList(const std::string& body, const Channels& previous);

}  // namespace nivo
}  // namespace zu

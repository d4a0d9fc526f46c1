#pragma once

#include <string>

#include "nivo/TVShow.h"

namespace zu {
namespace nivo {

// Replaces the character references the provider puts into its texts: "&lt;", "&gt;",
// "&amp;", "&apos;", "&quot;", and "&#" + decimal digits + ";" (the ";" may be missing at the
// end of the text), which becomes the code point in UTF-8. A number that is 0, above U+10FFFF
// or a surrogate becomes U+FFFD. Anything else, "&" included, is copied as it is.
std::string DecodeEntities(const std::string& text);

// The request path of a show's details, e.g. "a/api.mobile.event.get?type=JSON.3&evid=4711".
std::string MakeShowDetailsPath(unsigned int id);

// Completes show from a details document ({"data": [{"Event": {...}}]}): title, subtitle and
// description (entities decoded), country, year, duration in minutes, image, "Type" and
// "Genre" added as genres, each role's names appended to persons as (role, name), and
// detailsRead set. Members that are missing or of another type give empty texts and 0, so a
// document without an event still marks the show as read. id, start and end are never touched.
// Throws JsonSyntaxError when body is not JSON, and JsonError when the root is not an object or
// a "Person" entry is not an array of strings; show is then left exactly as it was.
void ParseShowDetails(const std::string& body, TVShow& show);

}  // namespace nivo
}  // namespace zu

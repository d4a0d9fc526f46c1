#pragma once

#include <string>

#include "nivo/TVShow.h"

namespace zu {
namespace nivo {

// The request path of a show's details, e.g. "a/api.mobile.event.get?type=JSON.3&evid=4711".
std::string MakeShowDetailsPath(unsigned int id);

// Completes show from a details document ({"data": [{"Event": {...}}]}): title, subtitle and
// description (see SetDetailTexts), country, year, duration in minutes, image, "Type" and
// "Genre" added as genres, each role's names appended to persons as (role, name), and
// detailsRead set. Members that are missing or of another type give empty texts and 0, so a
// document without an event still marks the show as read. id, start and end are never touched.
// Throws JsonSyntaxError when body is not JSON, and JsonError when the root is not an object or
// a "Person" entry is not an array of strings; show is then left exactly as it was.
void ParseShowDetails(const std::string& body, TVShow& show);

}  // namespace nivo
}  // namespace zu

#include "provider/DocumentWriter.h"

#include <nlohmann/json.hpp>

#include <map>
#include <vector>

namespace zu {
namespace provider {
namespace {

using Json = nlohmann::json;

std::string Dump(const Json& json) {
  // Raw UTF-8 out, like the service: names must reach the reader byte for byte.
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// Writes the stations (and playlist-only entries) of one playlist grouped under "##" lines,
// groups in order of first appearance.
struct PlaylistLine {
  std::string group;
  std::string title;
  std::string url;
  std::uint32_t uid;
};

std::string RenderPlaylist(const std::vector<PlaylistLine>& lines, const char* newline,
                           bool attributes) {
  std::vector<std::string> groups;
  for (const PlaylistLine& line : lines) {
    bool known = false;
    for (const std::string& group : groups) {
      known = known || group == line.group;
    }
    if (!known) {
      groups.push_back(line.group);
    }
  }
  std::string text = std::string("#EXTM3U") + newline + "# NivoTV sample provider" + newline;
  for (const std::string& group : groups) {
    text += "## " + group + newline;
    for (const PlaylistLine& line : lines) {
      if (line.group != group) {
        continue;
      }
      text += "#EXTINF:-1";
      if (attributes && line.uid != 0) {
        text += " tvg-id=\"" + std::to_string(line.uid) + "\"";
      }
      text += "," + line.title + newline + line.url + newline;
    }
  }
  return text;
}

// Stand-ins for raw control characters while a document is rendered: the JSON writer would
// escape the characters themselves. Private-use code points, which no catalogue text holds.
const char kTabMark[] = "\xEE\x80\x89";
const char kStartOfHeadingMark[] = "\xEE\x80\x81";

// The text with a raw control character inside (as its stand-in, see Unmark): a TAB in place
// of the first space for even `which`, else 0x01 before it; in the middle of a text without
// spaces.
std::string WithControlCharacter(const std::string& text, std::uint64_t which) {
  std::size_t space = text.find(' ');
  std::size_t at = space == std::string::npos ? text.size() / 2 : space;
  std::string result = text;
  if (which % 2 == 0) {
    result.replace(at, space == std::string::npos ? 0 : 1, kTabMark);
  } else {
    result.insert(at, kStartOfHeadingMark);
  }
  return result;
}

// The rendered document with the stand-ins turned into the raw characters.
std::string Unmark(std::string text, Quirks quirks) {
  if (!Has(quirks, Quirk::kControlCharacters)) {
    return text;
  }
  for (const auto& mark :
       {std::make_pair(kTabMark, '\t'), std::make_pair(kStartOfHeadingMark, '\x01')}) {
    for (std::size_t at = text.find(mark.first); at != std::string::npos;
         at = text.find(mark.first, at + 1)) {
      text.replace(at, 3, 1, mark.second);
    }
  }
  return text;
}

// Playlist-only entries have stream ids from here on, counted from 1.
const std::uint32_t kFirstExtraId = 900000;

// The ids of the first shows of a show list under kUnusableShowIds.
const char* const kUnusableIds[] = {"abc", "x-1", "", "-5", "0", "4711471147114711471147114"};

bool TakeNumber(const std::string& text, std::size_t& at, std::uint32_t& value) {
  std::size_t begin = at;
  std::uint64_t number = 0;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - begin < 10) {
    number = number * 10 + static_cast<std::uint64_t>(text[at++] - '0');
  }
  value = static_cast<std::uint32_t>(number);
  return at > begin && number <= 0xFFFFFFFFull;
}

// A station's name as the documents give it.
std::string NameOf(const Catalogue& catalogue, const Station& station, Quirks quirks) {
  std::size_t ordinal = catalogue.OrdinalOf(station);
  return Has(quirks, Quirk::kControlCharacters) && ordinal % 3 == 1
             ? WithControlCharacter(station.name, ordinal / 3)
             : station.name;
}

// A show's title as the documents give it.
std::string TitleOf(const Show& show, Quirks quirks) {
  return Has(quirks, Quirk::kControlCharacters) && show.seed % 3 == 0
             ? WithControlCharacter(show.title, show.seed >> 8)
             : show.title;
}

}  // namespace

std::string DocumentWriter::HeaderInfo() const {
  Json info = {{"status", "OK"},
               {"api", "pelta_bapi"},
               {"platform", "Android"},
               {"version", "3.2.0"},
               {"features", Json::array({"epg", "m3u", "logos"})}};
  return Dump(info);
}

std::string DocumentWriter::StationList(const std::string& baseUrl, bool wrongTypes,
                                        Quirks quirks) const {
  Json data = Json::array();
  for (const Station& station : catalogue_.Stations()) {
    std::string name = NameOf(catalogue_, station, quirks);
    Json entry = {
        {"UID", station.uid},
        {"DisplayName", name},
        {"ShortName", name},
        {"Channel", Json::array({station.channelGroup, station.number})},
        {"Flags", station.flags},
        {"Products", station.products},
        {"Logo",
         {{"URI", baseUrl + "/logo/60x30/" + station.logoFile}, {"Width", 60}, {"Height", 30}}},
        {"Type", "TV"},
        {"Languages", Json::array({"de"})},
        {"Position", station.number},
    };
    if (wrongTypes && data.empty()) {
      entry["UID"] = std::to_string(station.uid);
    }
    data.push_back({{"Station", entry}});
  }
  return Unmark(Dump(Json{{"status", "OK"}, {"count", data.size()}, {"data", data}}), quirks);
}

std::string DocumentWriter::Playlist(Endpoint endpoint, const std::string& baseUrl,
                                     Quirks quirks) const {
  std::vector<PlaylistLine> lines;
  std::string streamBase = baseUrl + "/stream/";
  if (endpoint == Endpoint::kPlaylistFta) {
    streamBase += "fta/";
  } else if (endpoint == Endpoint::kPlaylistPlus) {
    streamBase += "plus/";
  }
  for (const Station& station : catalogue_.Stations()) {
    bool listed = endpoint == Endpoint::kPlaylistAll ||
                  (endpoint == Endpoint::kPlaylistFta && station.inFta) ||
                  (endpoint == Endpoint::kPlaylistPlus && station.inPlus);
    if (listed) {
      lines.push_back({station.playlistGroup, NameOf(catalogue_, station, quirks),
                       streamBase + std::to_string(station.uid) + ".ts", station.uid});
    }
  }
  std::uint32_t extraId = kFirstExtraId;
  for (const PlaylistOnlyEntry& extra : catalogue_.PlaylistOnly()) {
    ++extraId;
    bool listed = (endpoint == Endpoint::kPlaylistAll && extra.inAll) ||
                  (endpoint == Endpoint::kPlaylistFta && extra.inFta) ||
                  (endpoint == Endpoint::kPlaylistPlus && extra.inPlus);
    if (listed) {
      lines.push_back({extra.group, extra.name, streamBase + std::to_string(extraId) + ".ts", 0});
    }
  }
  // The Plus list comes with CR LF line ends and the full list with player attributes, as
  // the service's lists differ in such details.
  const char* newline = endpoint == Endpoint::kPlaylistPlus ? "\r\n" : "\n";
  return Unmark(RenderPlaylist(lines, newline, endpoint == Endpoint::kPlaylistAll), quirks);
}

std::string DocumentWriter::RadioPlaylist(const std::string& baseUrl) const {
  std::vector<PlaylistLine> lines;
  std::size_t index = 0;
  for (const RadioStation& radio : catalogue_.Radio()) {
    ++index;
    lines.push_back(
        {radio.group, radio.name, baseUrl + "/radio/" + std::to_string(index) + ".mp3", 0});
  }
  return RenderPlaylist(lines, "\n", false);
}

std::string DocumentWriter::ShowList(std::uint32_t uid, const std::string& periodText,
                                     const Period& period, bool wrongTypes, Quirks quirks) const {
  Json meta = {{"period", periodText}, {"stationuid", uid}, {"source", "NivoTV sample provider"}};
  Json stations = Json::array();
  const Station* station = catalogue_.FindByUid(uid);
  if (station != nullptr) {
    Json shows = Json::array();
    for (const Show& show : GuideFor(quirks).Overlapping(*station, period)) {
      Json item = Json::array();
      if (wrongTypes) {
        item.push_back(show.id);
      } else if (Has(quirks, Quirk::kUnusableShowIds) && shows.size() < 6) {
        item.push_back(kUnusableIds[shows.size()]);
      } else {
        item.push_back(std::to_string(show.id));
      }
      item.push_back(FormatExtended(show.start));
      item.push_back(FormatExtended(show.end));
      item.push_back(TitleOf(show, quirks));
      bool brief = show.type == "Nachrichten" || show.type == "Information";
      if (!brief || show.seed % 3 == 0) {
        // Optional members as the service sends them: missing subtitles as null, genre
        // lists that now and then hold a null, country and year for productions only.
        if (show.subTitle.empty()) {
          item.push_back(show.seed % 2 == 0 ? Json() : Json(""));
        } else {
          item.push_back(show.subTitle);
        }
        Json genres = Json::array({show.type});
        if (show.seed % 5 == 0) {
          genres.push_back(nullptr);
        }
        genres.push_back(show.genre);
        item.push_back(genres);
        if (!show.country.empty()) {
          item.push_back(show.country);
          if (show.year != 0) {
            item.push_back(std::to_string(show.year));
          }
        }
      }
      shows.push_back(item);
    }
    stations.push_back(Json::array({station->uid, NameOf(catalogue_, *station, quirks), shows}));
  }
  return Unmark(Dump(Json::array({meta, stations})), quirks);
}

bool DocumentWriter::ShowDetails(std::uint32_t id, const std::string& baseUrl, bool wrongTypes,
                                 Quirks quirks, std::string& document) const {
  Show show;
  const Station* station = nullptr;
  if (!GuideFor(quirks).Find(id, show, station)) {
    return false;
  }
  provider::ShowDetails details = guide_.Details(*station, show);
  Json persons = Json::array();
  for (const std::vector<std::string>& group : details.persons) {
    persons.push_back(group);
  }
  if (wrongTypes) {
    persons.push_back("Director");  // a person entry that is not an array
  }
  Json event = {
      {"ID", show.id},
      {"Title", TitleOf(show, quirks)},
      {"SubTitle", show.subTitle},
      {"Type", show.type},
      {"Genre", show.genre},
      {"Country", show.country.empty() ? Json::array() : Json::array({show.country})},
      {"Year", show.year == 0 ? Json::array() : Json::array({show.year})},
      {"Description", details.description},
      {"Duration", show.end - show.start},
      {"Image", baseUrl + "/image/" + std::to_string(show.id) + ".png"},
      {"Person", persons},
      {"Start", FormatExtended(show.start)},
      {"End", FormatExtended(show.end)},
      {"StationUID", station->uid},
      {"StationName", NameOf(catalogue_, *station, quirks)},
  };
  document =
      Unmark(Dump(Json{{"status", "OK"}, {"data", Json::array({{{"Event", event}}})}}), quirks);
  return true;
}

bool DocumentWriter::ListsStream(const std::string& path) const {
  std::uint32_t number = 0;
  std::size_t at = 7;
  if (path.compare(0, at, "/radio/") == 0) {
    return TakeNumber(path, at, number) && path.compare(at, std::string::npos, ".mp3") == 0 &&
           number >= 1 && number <= catalogue_.Radio().size();
  }
  at = 8;
  if (path.compare(0, at, "/stream/") != 0) {
    return false;
  }
  Endpoint list = Endpoint::kPlaylistAll;
  if (path.compare(at, 4, "fta/") == 0) {
    list = Endpoint::kPlaylistFta;
    at += 4;
  } else if (path.compare(at, 5, "plus/") == 0) {
    list = Endpoint::kPlaylistPlus;
    at += 5;
  }
  if (!TakeNumber(path, at, number) || path.compare(at, std::string::npos, ".ts") != 0) {
    return false;
  }
  if (const Station* station = catalogue_.FindByUid(number)) {
    return list == Endpoint::kPlaylistAll || (list == Endpoint::kPlaylistFta && station->inFta) ||
           (list == Endpoint::kPlaylistPlus && station->inPlus);
  }
  const std::vector<PlaylistOnlyEntry>& extras = catalogue_.PlaylistOnly();
  if (number <= kFirstExtraId || number - kFirstExtraId > extras.size()) {
    return false;
  }
  const PlaylistOnlyEntry& extra = extras[number - kFirstExtraId - 1];
  return (list == Endpoint::kPlaylistAll && extra.inAll) ||
         (list == Endpoint::kPlaylistFta && extra.inFta) ||
         (list == Endpoint::kPlaylistPlus && extra.inPlus);
}

const Guide& DocumentWriter::GuideFor(Quirks quirks) const {
  return Has(quirks, Quirk::kMovedShow) ? movedGuide_ : guide_;
}

}  // namespace provider
}  // namespace zu

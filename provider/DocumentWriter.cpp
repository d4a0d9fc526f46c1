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

}  // namespace

std::string DocumentWriter::HeaderInfo() const {
  Json info = {{"status", "OK"},
               {"api", "pelta_bapi"},
               {"platform", "Android"},
               {"version", "3.2.0"},
               {"features", Json::array({"epg", "m3u", "logos"})}};
  return Dump(info);
}

std::string DocumentWriter::StationList(const std::string& baseUrl, bool wrongTypes) const {
  Json data = Json::array();
  for (const Station& station : catalogue_.Stations()) {
    Json entry = {
        {"UID", station.uid},
        {"DisplayName", station.name},
        {"ShortName", station.name},
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
  return Dump(Json{{"status", "OK"}, {"count", data.size()}, {"data", data}});
}

std::string DocumentWriter::Playlist(Endpoint endpoint, const std::string& baseUrl) const {
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
      lines.push_back({station.playlistGroup, station.name,
                       streamBase + std::to_string(station.uid) + ".ts", station.uid});
    }
  }
  std::uint32_t extraId = 900000;
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
  return RenderPlaylist(lines, newline, endpoint == Endpoint::kPlaylistAll);
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
                                     const Period& period, bool wrongTypes) const {
  Json meta = {{"period", periodText}, {"stationuid", uid}, {"source", "NivoTV sample provider"}};
  Json stations = Json::array();
  const Station* station = catalogue_.FindByUid(uid);
  if (station != nullptr) {
    Json shows = Json::array();
    for (const Show& show : guide_.Overlapping(*station, period)) {
      Json item = Json::array();
      if (wrongTypes) {
        item.push_back(show.id);
      } else {
        item.push_back(std::to_string(show.id));
      }
      item.push_back(FormatExtended(show.start));
      item.push_back(FormatExtended(show.end));
      item.push_back(show.title);
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
    stations.push_back(Json::array({station->uid, station->name, shows}));
  }
  return Dump(Json::array({meta, stations}));
}

bool DocumentWriter::ShowDetails(std::uint32_t id, const std::string& baseUrl, bool wrongTypes,
                                 std::string& document) const {
  Show show;
  const Station* station = nullptr;
  if (!guide_.Find(id, show, station)) {
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
      {"Title", show.title},
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
      {"StationName", station->name},
  };
  document = Dump(Json{{"status", "OK"}, {"data", Json::array({{{"Event", event}}})}});
  return true;
}

}  // namespace provider
}  // namespace zu

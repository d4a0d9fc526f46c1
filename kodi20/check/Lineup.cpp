#include "kodi20/check/Lineup.h"

#include <algorithm>
#include <ctime>

#include "kodi20/check/KodiHome.h"

namespace zu {
namespace kodi20 {
namespace check {

std::vector<std::string> Lineup::Groups(bool radio) const {
  std::vector<std::string> tv;
  std::vector<std::string> names;
  for (const LineupChannel& channel : channels) {
    std::vector<std::string>& kind = channel.radio ? names : tv;
    for (const std::string& group : channel.groups) {
      if (std::find(kind.begin(), kind.end(), group) == kind.end())
        kind.push_back(group);
    }
  }
  if (!radio)
    return tv;
  names.erase(std::remove_if(names.begin(), names.end(),
                             [&](const std::string& name) {
                               return std::find(tv.begin(), tv.end(), name) != tv.end();
                             }),
              names.end());
  return names;
}

std::vector<const LineupChannel*> Lineup::Channels(bool radio) const {
  std::vector<const LineupChannel*> found;
  for (const LineupChannel& channel : channels) {
    if (channel.radio == radio)
      found.push_back(&channel);
  }
  std::stable_sort(found.begin(), found.end(), [](const LineupChannel* a, const LineupChannel* b) {
    return a->number < b->number;
  });
  return found;
}

Lineup FixtureLineup(std::int64_t now) {
  struct Entry {
    const char* name;
    const char* group;
    bool radio;
  };
  static const Entry kEntries[] = {
      {"Fixture One", "News & Info", false},   {"Fixture Two", "News & Info", false},
      {"Fixture Film", "Film", false},         {"Fixture Kids", "Film", false},
      {"Fixture Sport", "News & Info", false}, {"Fixture Late", "Film", false},
      {"Fixture Radio A", "Radio", true},      {"Fixture Radio B", "Radio", true},
  };
  static const char* const kTitles[] = {"Morning <Live>",    "Tom & Jerry", "Tagesschau",
                                        "Müller's \"Best\"", "Night Film",  "Weather"};
  // Shows start on the hour a day back, so that they are the same whenever the lineup is
  // made within the same hour.
  std::int64_t from = (now - 24 * 3600) / 3600 * 3600;
  std::int64_t until = now + 3 * 24 * 3600;
  Lineup lineup;
  unsigned index = 0;
  for (const Entry& entry : kEntries) {
    ++index;
    LineupChannel channel;
    channel.id = "fixture." + std::to_string(index);
    channel.number = entry.radio ? 100 + index : index;
    channel.name = entry.name;
    channel.radio = entry.radio;
    channel.groups = {entry.group};
    channel.streamPath = "/stream/" + std::to_string(index) + ".ts";
    channel.logoPath = "/logo/" + std::to_string(index) + ".png";
    std::int64_t start = from;
    for (unsigned show = 0; start < until; ++show) {
      std::int64_t minutes = 20 + ((index * 7 + show * 13) % 10) * 10;
      LineupShow entryShow;
      entryShow.title = std::string(kTitles[(index + show) % 6]) + " " + std::to_string(show);
      entryShow.start = start;
      entryShow.end = start + minutes * 60;
      channel.shows.push_back(entryShow);
      start = entryShow.end;
    }
    lineup.channels.push_back(channel);
  }
  return lineup;
}

std::string XmltvTime(std::int64_t utcSeconds) {
  std::time_t t = static_cast<std::time_t>(utcSeconds);
  struct tm utc;
  ::gmtime_r(&t, &utc);
  char text[32];
  std::strftime(text, sizeof(text), "%Y%m%d%H%M%S +0000", &utc);
  return text;
}

std::string LineupPlaylist(const Lineup& lineup, const std::string& baseUrl) {
  std::string text = "#EXTM3U\n";
  for (const LineupChannel& channel : lineup.channels) {
    std::string groups;
    for (const std::string& group : channel.groups)
      groups += (groups.empty() ? "" : ";") + group;
    // Attribute values are quoted; the readers take everything up to the next quote.
    text += "#EXTINF:-1 tvg-id=\"" + channel.id + "\" tvg-name=\"" + channel.name +
            "\" tvg-chno=\"" + std::to_string(channel.number) + "\" group-title=\"" + groups +
            "\" tvg-logo=\"" + baseUrl + channel.logoPath + "\"" +
            (channel.radio ? " radio=\"true\"" : "") + "," + channel.name + "\n";
    text += baseUrl + channel.streamPath + "\n";
  }
  return text;
}

std::string LineupXmltv(const Lineup& lineup) {
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tv>\n";
  for (const LineupChannel& channel : lineup.channels) {
    text += "  <channel id=\"" + XmlEscape(channel.id) + "\"><display-name>" +
            XmlEscape(channel.name) + "</display-name></channel>\n";
  }
  for (const LineupChannel& channel : lineup.channels) {
    for (const LineupShow& show : channel.shows) {
      text += "  <programme start=\"" + XmltvTime(show.start) + "\" stop=\"" + XmltvTime(show.end) +
              "\" channel=\"" + XmlEscape(channel.id) + "\"><title>" + XmlEscape(show.title) +
              "</title></programme>\n";
    }
  }
  return text + "</tv>\n";
}

}  // namespace check
}  // namespace kodi20
}  // namespace zu

#include "provider/ExportWriter.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <set>

namespace zu {
namespace provider {

namespace {

void AppendUtf8(std::uint32_t code, std::string& to) {
  if (code < 0x80) {
    to += static_cast<char>(code);
  } else if (code < 0x800) {
    to += static_cast<char>(0xC0 | (code >> 6));
    to += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    to += static_cast<char>(0xE0 | (code >> 12));
    to += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    to += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    to += static_cast<char>(0xF0 | (code >> 18));
    to += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    to += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    to += static_cast<char>(0x80 | (code & 0x3F));
  }
}

std::string Xml(const std::string& text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

// An M3U attribute value ends at the next double quote; names and groups never hold one, but
// should one appear it becomes a single quote rather than cutting the line.
std::string Attribute(const std::string& text) {
  std::string value = text;
  std::replace(value.begin(), value.end(), '"', '\'');
  return value;
}

std::string Join(const std::vector<std::string>& parts, char separator) {
  std::string text;
  for (const std::string& part : parts) {
    if (!text.empty())
      text += separator;
    text += part;
  }
  return text;
}

}  // namespace

std::vector<std::string> StationGroups(const Station& station) {
  std::set<std::string> groups;
  groups.insert(station.channelGroup);
  groups.insert(station.flags.begin(), station.flags.end());
  groups.insert(station.products.begin(), station.products.end());
  if (station.inFta)
    groups.insert("Nivo TV");
  if (station.inPlus)
    groups.insert("Nivo TV Plus");
  groups.insert("All");
  groups.erase(std::string());
  return std::vector<std::string>(groups.begin(), groups.end());
}

std::string PlainText(const std::string& delivered) {
  static const struct {
    const char* name;
    char character;
  } kNamed[] = {{"amp;", '&'}, {"lt;", '<'}, {"gt;", '>'}, {"quot;", '"'}, {"apos;", '\''}};
  std::string text;
  text.reserve(delivered.size());
  std::size_t at = 0;
  while (at < delivered.size()) {
    if (delivered[at] != '&') {
      text += delivered[at++];
      continue;
    }
    bool done = false;
    for (const auto& named : kNamed) {
      std::size_t length = std::char_traits<char>::length(named.name);
      if (delivered.compare(at + 1, length, named.name) == 0) {
        text += named.character;
        at += 1 + length;
        done = true;
        break;
      }
    }
    if (!done && at + 2 < delivered.size() && delivered[at + 1] == '#') {
      std::size_t end = at + 2;
      std::uint32_t code = 0;
      while (end < delivered.size() && end - at < 9 && delivered[end] >= '0' &&
             delivered[end] <= '9') {
        code = code * 10 + static_cast<std::uint32_t>(delivered[end] - '0');
        ++end;
      }
      if (end > at + 2 && end < delivered.size() && delivered[end] == ';' && code != 0 &&
          code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF)) {
        AppendUtf8(code, text);
        at = end + 1;
        done = true;
      }
    }
    if (!done)
      text += delivered[at++];
  }
  return text;
}

std::string XmltvTime(CivilSeconds time) {
  int year;
  unsigned month, day;
  std::int64_t days =
      time >= 0 ? time / kSecondsPerDay : (time - kSecondsPerDay + 1) / kSecondsPerDay;
  CivilFromDays(days, year, month, day);
  CivilSeconds second = time - days * kSecondsPerDay;
  // The offset of the local zone at that wall-clock time; mktime settles daylight saving.
  struct tm local = {};
  local.tm_year = year - 1900;
  local.tm_mon = static_cast<int>(month) - 1;
  local.tm_mday = static_cast<int>(day);
  local.tm_hour = static_cast<int>(second / 3600);
  local.tm_min = static_cast<int>(second / 60 % 60);
  local.tm_sec = static_cast<int>(second % 60);
  local.tm_isdst = -1;
  std::time_t utc = std::mktime(&local);
  long offset = utc == static_cast<std::time_t>(-1) ? 0 : local.tm_gmtoff;
  char text[40];
  std::snprintf(text, sizeof(text), "%04d%02u%02u%02d%02d%02d %c%02ld%02ld", year, month, day,
                static_cast<int>(second / 3600), static_cast<int>(second / 60 % 60),
                static_cast<int>(second % 60), offset < 0 ? '-' : '+',
                (offset < 0 ? -offset : offset) / 3600, (offset < 0 ? -offset : offset) / 60 % 60);
  return text;
}

std::string ExportWriter::Playlist(const std::string& baseUrl) const {
  std::string text = "#EXTM3U\n";
  for (const Station& station : catalogue_.Stations()) {
    std::string name = Attribute(station.name);
    text += "#EXTINF:-1 tvg-id=\"" + std::to_string(station.uid) + "\" tvg-name=\"" + name +
            "\" tvg-chno=\"" + std::to_string(station.number) + "\" group-title=\"" +
            Attribute(Join(StationGroups(station), ';')) + "\" tvg-logo=\"" + baseUrl +
            "/station/128x64/" + station.logoFile + "\"," + station.name + "\n" + baseUrl +
            "/stream/" + std::to_string(station.uid) + ".ts\n";
  }
  std::size_t index = 0;
  for (const RadioStation& radio : catalogue_.Radio()) {
    ++index;
    text += "#EXTINF:-1 tvg-name=\"" + Attribute(radio.name) + "\" tvg-chno=\"" +
            std::to_string(9999 + index) + "\" group-title=\"" + Attribute(radio.group) +
            "\" radio=\"true\"," + radio.name + "\n" + baseUrl + "/radio/" + std::to_string(index) +
            ".mp3\n";
  }
  return text;
}

std::string ExportWriter::Xmltv(const std::string& baseUrl, CivilSeconds from,
                                CivilSeconds to) const {
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<tv generator-info-name=\"NivoTV sample provider\">\n";
  for (const Station& station : catalogue_.Stations()) {
    text += "  <channel id=\"" + std::to_string(station.uid) + "\">\n    <display-name>" +
            Xml(station.name) + "</display-name>\n    <icon src=\"" + Xml(baseUrl) +
            "/station/128x64/" + Xml(station.logoFile) + "\"/>\n  </channel>\n";
  }
  if (to > from) {
    Period period;
    period.start = from;
    period.hours = static_cast<unsigned>((to - from + 3599) / 3600);
    for (const Station& station : catalogue_.Stations()) {
      std::string channel = std::to_string(station.uid);
      for (const Show& show : guide_.Overlapping(station, period)) {
        if (show.end <= from || show.start >= to)
          continue;
        text += "  <programme start=\"" + XmltvTime(show.start) + "\" stop=\"" +
                XmltvTime(show.end) + "\" channel=\"" + channel + "\">\n    <title>" +
                Xml(PlainText(show.title)) + "</title>\n";
        if (!show.subTitle.empty())
          text += "    <sub-title>" + Xml(PlainText(show.subTitle)) + "</sub-title>\n";
        if (!show.type.empty())
          text += "    <category>" + Xml(show.type) + "</category>\n";
        if (!show.genre.empty())
          text += "    <category>" + Xml(show.genre) + "</category>\n";
        text += "  </programme>\n";
      }
    }
  }
  return text + "</tv>\n";
}

}  // namespace provider
}  // namespace zu

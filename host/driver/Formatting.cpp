#include "host/driver/Formatting.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace zu {
namespace host {
namespace {

std::string Format(time_t when, const char* format) {
  struct tm local;
  if (localtime_r(&when, &local) == nullptr)
    return std::to_string(when);
  char text[64];
  if (strftime(text, sizeof(text), format, &local) == 0)
    return std::to_string(when);
  return text;
}

bool StartsCharacter(char byte) {
  return (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
}

}  // namespace

size_t TextWidth(const std::string& text) {
  size_t characters = 0;
  for (char byte : text)
    characters += StartsCharacter(byte) ? 1 : 0;
  return characters;
}

std::string Shorten(const std::string& text, size_t length) {
  if (TextWidth(text) <= length)
    return text;
  size_t keep = length > 3 ? length - 3 : 0;
  size_t characters = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (StartsCharacter(text[i]) && characters++ == keep)
      return text.substr(0, i) + "...";
  }
  return text;
}

std::string Wrap(const std::string& text, size_t width, const std::string& indent) {
  std::istringstream words(text);
  std::string word;
  std::string result;
  size_t column = 0;
  while (words >> word) {
    size_t length = TextWidth(word);
    if (column > 0 && column + 1 + length > width) {
      result += "\n" + indent;
      column = 0;
    } else if (column > 0) {
      result += " ";
      ++column;
    }
    result += word;
    column += length;
  }
  return result;
}

std::string LocalTime(time_t when) {
  return Format(when, "%Y-%m-%d %H:%M");
}

std::string ClockTime(time_t when) {
  return Format(when, "%H:%M");
}

std::string DayAndTime(time_t when) {
  return Format(when, "%a %d %H:%M");
}

std::string YesNo(bool value) {
  return value ? "yes" : "no";
}

std::string Thousands(uint64_t value) {
  std::string digits = std::to_string(value);
  std::string result;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0)
      result += ',';
    result += digits[i];
  }
  return result;
}

std::string Bytes(uint64_t bytes) {
  char text[32];
  if (bytes < 1000)
    snprintf(text, sizeof(text), "%llu B", static_cast<unsigned long long>(bytes));
  else if (bytes < 1000 * 1000)
    snprintf(text, sizeof(text), "%.1f kB", static_cast<double>(bytes) / 1e3);
  else
    snprintf(text, sizeof(text), "%.1f MB", static_cast<double>(bytes) / 1e6);
  return text;
}

std::string Seconds(double seconds) {
  char text[32];
  snprintf(text, sizeof(text), seconds < 10 ? "%.1f s" : "%.0f s", seconds);
  return text;
}

std::string Plural(size_t n, const std::string& one, const std::string& many) {
  return Thousands(n) + " " + (n == 1 ? one : many);
}

void PrintPairs(std::ostream& out, const std::vector<std::pair<std::string, std::string>>& rows,
                const std::string& indent) {
  size_t width = 0;
  for (const auto& row : rows)
    width = std::max(width, TextWidth(row.first));
  const std::string hanging = indent + std::string(width + 2, ' ');
  const size_t wrap = 78 > hanging.size() + 30 ? 78 - hanging.size() : 30;
  for (const auto& row : rows) {
    out << indent << row.first << std::string(width + 2 - TextWidth(row.first), ' ')
        << Wrap(row.second, wrap, hanging) << "\n";
  }
}

Json Result(int result) {
  return Json{{"value", result}, {"name", PvrErrorName(result)}};
}

Json ToJson(const Channel& channel) {
  return Json{{"uid", channel.uid},
              {"number", channel.number},
              {"subNumber", channel.subNumber},
              {"name", channel.name},
              {"radio", channel.isRadio},
              {"streamUrl", channel.streamUrl},
              {"iconPath", channel.iconPath},
              {"inputFormat", channel.inputFormat},
              {"encryptionSystem", channel.encryptionSystem},
              {"hidden", channel.isHidden}};
}

Json ToJson(const ChannelGroup& group) {
  return Json{{"name", group.name}, {"radio", group.isRadio}, {"position", group.position}};
}

Json ToJson(const GroupMember& member) {
  return Json{{"group", member.groupName},
              {"channelUid", member.channelUid},
              {"channelNumber", member.channelNumber}};
}

Json ToJson(const Timer& timer) {
  return Json{{"clientIndex", timer.clientIndex},
              {"channelUid", timer.clientChannelUid},
              {"start", static_cast<long long>(timer.startTime)},
              {"end", static_cast<long long>(timer.endTime)},
              {"state", timer.state},
              {"stateName", TimerStateName(timer.state)},
              {"title", timer.title},
              {"summary", timer.summary},
              {"epgUid", timer.epgUid}};
}

Json ToJson(const EpgEntry& entry) {
  return Json{{"broadcastId", entry.broadcastId},
              {"title", entry.title},
              {"start", static_cast<long long>(entry.startTime)},
              {"end", static_cast<long long>(entry.endTime)},
              {"channelNumber", entry.channelNumber},
              {"plotOutline", entry.plotOutline},
              {"plot", entry.plot},
              {"originalTitle", entry.originalTitle},
              {"cast", entry.cast},
              {"director", entry.director},
              {"writer", entry.writer},
              {"year", entry.year},
              {"imdbNumber", entry.imdbNumber},
              {"iconPath", entry.iconPath},
              {"genreType", entry.genreType},
              {"genreSubType", entry.genreSubType},
              {"genreDescription", entry.genreDescription},
              {"firstAired", static_cast<long long>(entry.firstAired)},
              {"parentalRating", entry.parentalRating},
              {"starRating", entry.starRating},
              {"notify", entry.notify},
              {"seriesNumber", entry.seriesNumber},
              {"episodeNumber", entry.episodeNumber},
              {"episodePartNumber", entry.episodePartNumber},
              {"episodeName", entry.episodeName},
              {"flags", entry.flags}};
}

}  // namespace host
}  // namespace zu

#pragma once

#include <cstdint>
#include <ctime>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "host/HostRecords.h"

namespace zu {
namespace host {

// The driver's JSON documents keep their members in the order they were written.
using Json = nlohmann::ordered_json;

// Readable texts for the driver's tables and reports.

// The number of characters of UTF-8 text (continuation bytes do not count).
size_t TextWidth(const std::string& text);
// At most length characters of UTF-8 text, "..." marking a cut.
std::string Shorten(const std::string& text, size_t length);
// Words of text on lines of at most width characters, each line after the first starting
// with indent; a word longer than a line stands on its own line.
std::string Wrap(const std::string& text, size_t width, const std::string& indent);
// "2024-05-04 20:15" in local time; the number when it cannot be converted.
std::string LocalTime(time_t when);
// "20:15" in local time.
std::string ClockTime(time_t when);
// "Sat 04 20:15" in local time.
std::string DayAndTime(time_t when);
std::string YesNo(bool value);
// 12345 as "12,345".
std::string Thousands(uint64_t value);
// A size on disk: "812 B", "12.3 kB", "4.1 MB" (powers of 1000).
std::string Bytes(uint64_t bytes);
// A duration: "0.4 s", "38 s".
std::string Seconds(double seconds);
// "1 channel", "1,234 channels".
std::string Plural(size_t n, const std::string& one, const std::string& many);
// Labels and values, one pair a line after indent: the values line up after the widest label
// and wrap at a readable width.
void PrintPairs(std::ostream& out, const std::vector<std::pair<std::string, std::string>>& rows,
                const std::string& indent);

// JSON forms of the host's records and answers.
Json Result(int result);
Json ToJson(const Channel& channel);
Json ToJson(const ChannelGroup& group);
Json ToJson(const GroupMember& member);
Json ToJson(const Timer& timer);
Json ToJson(const EpgEntry& entry);

template <class T>
Json ToJsonList(const std::vector<T>& entries) {
  Json list = Json::array();
  for (const T& entry : entries)
    list.push_back(ToJson(entry));
  return list;
}

}  // namespace host
}  // namespace zu

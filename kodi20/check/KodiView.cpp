#include "kodi20/check/KodiView.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <set>

namespace zu {
namespace kodi20 {
namespace check {

namespace {

// Kodi leaves the list out when it is empty.
const nlohmann::json* ListOf(const nlohmann::json& result, const char* name, bool& ok) {
  static const nlohmann::json kEmpty = nlohmann::json::array();
  ok = result.is_object();
  if (!ok)
    return nullptr;
  auto found = result.find(name);
  if (found == result.end())
    return &kEmpty;
  ok = found->is_array();
  return ok ? &*found : nullptr;
}

bool ParseChannels(const nlohmann::json& result, std::vector<KodiChannel>& channels,
                   std::string& error) {
  bool ok = false;
  const nlohmann::json* list = ListOf(result, "channels", ok);
  if (!ok) {
    error = "PVR.GetChannels answered " + result.dump().substr(0, 200);
    return false;
  }
  channels.clear();
  for (const nlohmann::json& entry : *list) {
    if (!entry.is_object() || !entry.contains("channelid")) {
      error = "PVR.GetChannels listed " + entry.dump();
      return false;
    }
    KodiChannel channel;
    channel.id = entry.value("channelid", 0);
    channel.name = entry.value("label", std::string());
    channel.number = entry.value("channelnumber", 0u);
    channels.push_back(channel);
  }
  return true;
}

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

}  // namespace

bool ReadChannels(JsonRpc& rpc, bool radio, std::vector<KodiChannel>& channels,
                  std::string& error) {
  nlohmann::json result;
  nlohmann::json params = {{"channelgroupid", radio ? "allradio" : "alltv"},
                           {"properties", {"channelnumber"}}};
  return rpc.Call("PVR.GetChannels", params, result, error) &&
         ParseChannels(result, channels, error);
}

bool ReadGroupMembers(JsonRpc& rpc, int groupId, std::vector<KodiChannel>& channels,
                      std::string& error) {
  nlohmann::json result;
  nlohmann::json params = {{"channelgroupid", groupId}, {"properties", {"channelnumber"}}};
  return rpc.Call("PVR.GetChannels", params, result, error) &&
         ParseChannels(result, channels, error);
}

bool ReadGroups(JsonRpc& rpc, bool radio, std::vector<KodiGroup>& groups, std::string& error) {
  nlohmann::json result;
  if (!rpc.Call("PVR.GetChannelGroups", {{"channeltype", radio ? "radio" : "tv"}}, result, error))
    return false;
  bool ok = false;
  const nlohmann::json* list = ListOf(result, "channelgroups", ok);
  if (!ok) {
    error = "PVR.GetChannelGroups answered " + result.dump().substr(0, 200);
    return false;
  }
  groups.clear();
  for (const nlohmann::json& entry : *list) {
    KodiGroup group;
    group.id = entry.value("channelgroupid", 0);
    group.name = entry.value("label", std::string());
    // Kodi's own group of every channel of the kind.
    if (group.name == "All channels")
      continue;
    groups.push_back(group);
  }
  return true;
}

bool ReadBroadcasts(JsonRpc& rpc, int channelId, std::vector<KodiBroadcast>& broadcasts,
                    std::string& error) {
  nlohmann::json result;
  nlohmann::json params = {{"channelid", channelId},
                           {"properties", {"title", "starttime", "endtime"}}};
  if (!rpc.Call("PVR.GetBroadcasts", params, result, error))
    return false;
  bool ok = false;
  const nlohmann::json* list = ListOf(result, "broadcasts", ok);
  if (!ok) {
    error = "PVR.GetBroadcasts answered " + result.dump().substr(0, 200);
    return false;
  }
  broadcasts.clear();
  for (const nlohmann::json& entry : *list) {
    KodiBroadcast broadcast;
    broadcast.title = entry.value("title", std::string());
    if (!ParseKodiTime(entry.value("starttime", std::string()), broadcast.start) ||
        !ParseKodiTime(entry.value("endtime", std::string()), broadcast.end)) {
      error = "PVR.GetBroadcasts listed a broadcast with unreadable times: " + entry.dump();
      return false;
    }
    broadcasts.push_back(broadcast);
  }
  return true;
}

std::vector<std::string> CompareChannels(const Lineup& lineup, bool radio,
                                         const std::vector<KodiChannel>& channels) {
  std::vector<std::string> differences;
  std::map<std::string, const KodiChannel*> byName;
  for (const KodiChannel& channel : channels) {
    if (!byName.emplace(channel.name, &channel).second)
      differences.push_back("Kodi lists channel " + Quoted(channel.name) + " twice");
  }
  std::set<std::string> expected;
  for (const LineupChannel* channel : lineup.Channels(radio)) {
    expected.insert(channel->name);
    auto found = byName.find(channel->name);
    if (found == byName.end()) {
      differences.push_back("channel " + std::to_string(channel->number) + " " +
                            Quoted(channel->name) + " is missing");
    } else if (found->second->number != channel->number) {
      differences.push_back("channel " + Quoted(channel->name) + " has number " +
                            std::to_string(found->second->number) + ", expected " +
                            std::to_string(channel->number));
    }
  }
  for (const auto& entry : byName) {
    if (expected.count(entry.first) == 0)
      differences.push_back("unexpected channel " + std::to_string(entry.second->number) + " " +
                            Quoted(entry.first));
  }
  return differences;
}

std::vector<std::string> CompareGroupNames(const Lineup& lineup, bool radio,
                                           const std::vector<KodiGroup>& groups) {
  std::vector<std::string> differences;
  std::set<std::string> listed;
  for (const KodiGroup& group : groups)
    listed.insert(group.name);
  std::vector<std::string> expected = lineup.Groups(radio);
  for (const std::string& name : expected) {
    if (listed.count(name) == 0)
      differences.push_back("group " + Quoted(name) + " is missing");
  }
  for (const std::string& name : listed) {
    if (std::find(expected.begin(), expected.end(), name) == expected.end())
      differences.push_back("unexpected group " + Quoted(name));
  }
  return differences;
}

std::vector<std::string> CompareGroupMembers(const Lineup& lineup, const std::string& group,
                                             bool radio, const std::vector<KodiChannel>& members) {
  std::vector<std::string> differences;
  std::set<std::string> listed;
  for (const KodiChannel& member : members)
    listed.insert(member.name);
  std::set<std::string> expected;
  for (const LineupChannel& channel : lineup.channels) {
    if (channel.radio == radio &&
        std::find(channel.groups.begin(), channel.groups.end(), group) != channel.groups.end())
      expected.insert(channel.name);
  }
  for (const std::string& name : expected) {
    if (listed.count(name) == 0)
      differences.push_back("group " + Quoted(group) + " lacks " + Quoted(name));
  }
  for (const std::string& name : listed) {
    if (expected.count(name) == 0)
      differences.push_back("group " + Quoted(group) + " has " + Quoted(name) +
                            ", which is not its member");
  }
  return differences;
}

std::vector<std::string> CompareGuide(const std::string& channel,
                                      const std::vector<LineupShow>& shows,
                                      const std::vector<KodiBroadcast>& broadcasts,
                                      std::int64_t from, std::int64_t until) {
  std::vector<std::string> differences;
  std::map<std::int64_t, const LineupShow*> byStart;
  for (const LineupShow& show : shows)
    byStart[show.start] = &show;
  std::set<std::int64_t> seen;
  for (const KodiBroadcast& broadcast : broadcasts) {
    seen.insert(broadcast.start);
    auto found = byStart.find(broadcast.start);
    std::string where = Quoted(channel) + " at " + FormatUtc(broadcast.start);
    if (found == byStart.end()) {
      differences.push_back(where + ": Kodi has " + Quoted(broadcast.title) +
                            ", the provider no show starting then");
      continue;
    }
    const LineupShow& show = *found->second;
    if (broadcast.title != show.title &&
        (show.plainTitle.empty() || broadcast.title != show.plainTitle)) {
      differences.push_back(where + ": Kodi has " + Quoted(broadcast.title) + ", expected " +
                            Quoted(show.plainTitle.empty() ? show.title : show.plainTitle));
    } else if (show.end != broadcast.end) {
      differences.push_back(where + ": " + Quoted(broadcast.title) + " ends at " +
                            FormatUtc(broadcast.end) + ", expected " + FormatUtc(show.end));
    }
  }
  for (const LineupShow& show : shows) {
    if (show.start >= from && show.start < until && seen.count(show.start) == 0) {
      differences.push_back(Quoted(channel) + ": " + Quoted(show.title) + " at " +
                            FormatUtc(show.start) + " is missing");
    }
  }
  return differences;
}

bool ParseKodiTime(const std::string& text, std::int64_t& utcSeconds) {
  int year, month, day, hour, minute, second;
  char separator = 0;
  int consumed = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%n", &year, &month, &day, &separator,
                  &hour, &minute, &second, &consumed) != 7 ||
      (separator != ' ' && separator != 'T'))
    return false;
  std::string rest = text.substr(static_cast<size_t>(consumed));
  if (!rest.empty() && rest != "Z")
    return false;
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
    return false;
  struct tm utc = {};
  utc.tm_year = year - 1900;
  utc.tm_mon = month - 1;
  utc.tm_mday = day;
  utc.tm_hour = hour;
  utc.tm_min = minute;
  utc.tm_sec = second;
  utcSeconds = static_cast<std::int64_t>(::timegm(&utc));
  return true;
}

std::string FormatUtc(std::int64_t utcSeconds) {
  std::time_t t = static_cast<std::time_t>(utcSeconds);
  struct tm utc;
  ::gmtime_r(&t, &utc);
  char text[32];
  std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", &utc);
  return text;
}

}  // namespace check
}  // namespace kodi20
}  // namespace zu

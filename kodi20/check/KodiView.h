#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kodi20/check/JsonRpc.h"
#include "kodi20/check/Lineup.h"

namespace zu {
namespace kodi20 {
namespace check {

// What Kodi lists, read through JSON-RPC, and how it compares with the lineup. The Read
// functions return false with error set when the call fails or the answer has an unexpected
// shape; the Compare functions return one line per difference (empty: equal).

struct KodiChannel {
  int id = 0;  // Kodi's channel id, not the add-on's unique id
  std::string name;
  unsigned number = 0;
};

struct KodiGroup {
  int id = 0;
  std::string name;
};

struct KodiBroadcast {
  std::string title;
  std::int64_t start = 0;  // UTC seconds (Kodi runs with TZ=UTC)
  std::int64_t end = 0;
};

// The channels of Kodi's "all channels" group of the kind.
bool ReadChannels(JsonRpc& rpc, bool radio, std::vector<KodiChannel>& channels, std::string& error);
// The members of one group.
bool ReadGroupMembers(JsonRpc& rpc, int groupId, std::vector<KodiChannel>& channels,
                      std::string& error);
// The groups of the kind, without Kodi's own "All channels" group.
bool ReadGroups(JsonRpc& rpc, bool radio, std::vector<KodiGroup>& groups, std::string& error);
bool ReadBroadcasts(JsonRpc& rpc, int channelId, std::vector<KodiBroadcast>& broadcasts,
                    std::string& error);

// Every lineup channel of the kind listed with its number and name, and nothing else.
std::vector<std::string> CompareChannels(const Lineup& lineup, bool radio,
                                         const std::vector<KodiChannel>& channels);
// The group names of the kind, equal as sets.
std::vector<std::string> CompareGroupNames(const Lineup& lineup, bool radio,
                                           const std::vector<KodiGroup>& groups);
// The members of one group of the kind by name, equal as sets: the channels of that kind
// that carry the group (Kodi leaves out members of the other kind).
std::vector<std::string> CompareGroupMembers(const Lineup& lineup, const std::string& group,
                                             bool radio, const std::vector<KodiChannel>& members);
// Every broadcast Kodi has for the channel is one of its shows with the same title (or plain
// title), start and end, and every show that starts in [from, until) is there.
std::vector<std::string> CompareGuide(const std::string& channel,
                                      const std::vector<LineupShow>& shows,
                                      const std::vector<KodiBroadcast>& broadcasts,
                                      std::int64_t from, std::int64_t until);

// Kodi's "YYYY-MM-DD HH:MM:SS" (also with 'T' and a trailing 'Z') as UTC seconds; false when
// the text has another form.
bool ParseKodiTime(const std::string& text, std::int64_t& utcSeconds);
// "YYYY-MM-DD HH:MM:SS" of UTC seconds.
std::string FormatUtc(std::int64_t utcSeconds);

}  // namespace check
}  // namespace kodi20
}  // namespace zu

#pragma once

#include <ctime>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "host/HostRecords.h"
#include "host/driver/Formatting.h"

namespace zu {
namespace host {

// The pieces of the session's report: what it reads from the records the add-on hands to the
// host, and how it shows them. Guide entries may come in any order.

// Whether the channel's icon path names a file on this machine.
bool HasLogo(const Channel& channel);
// The channels as a table: number, name, groups (groupsOf: the group names by channel uid),
// logo (when logos), stream and uid, fitted to width columns.
void PrintChannelTable(std::ostream& out, const std::vector<const Channel*>& channels,
                       const std::map<unsigned int, std::vector<std::string>>& groupsOf,
                       size_t width, bool logos);

// The entries of latest with a plot whose broadcast previous has without one: the details the
// add-on read between the two answers for a channel.
size_t GainedPlots(const std::vector<EpgEntry>& previous, const std::vector<EpgEntry>& latest);

// The show running at `at` and the first one starting after it; null where there is none.
std::pair<const EpgEntry*, const EpgEntry*> NowAndNext(const std::vector<EpgEntry>& entries,
                                                       time_t at);
// The first show starting after `after` that has a plot; null when none has.
const EpgEntry* FirstComingWithPlot(const std::vector<EpgEntry>& entries, time_t after);

// "20:15-21:45 Title", or "20:15 Title" without the end, the title cut to length characters;
// "-" for none.
std::string ShowCell(const EpgEntry* entry, bool withEnd, size_t length);
// Id, title and times; null for none.
Json ShowJson(const EpgEntry* entry);

// A show with its details as the host has them, as JSON and as readable lines.
Json DetailsJson(unsigned int channelUid, const EpgEntry& show);
void PrintDetails(std::ostream& out, const std::string& channelName, const EpgEntry& show);

// The readable form of the session's JSON summary, with what it does not hold: the window's
// start, how the requests were counted and the first error the add-on logged.
void PrintSummary(std::ostream& out, const Json& summary, time_t windowStart,
                  const std::string& requests, const std::string& firstError);

}  // namespace host
}  // namespace zu

#include "host/driver/SessionReport.h"

#include <filesystem>
#include <set>
#include <system_error>

#include "host/driver/TextTable.h"

namespace zu {
namespace host {

bool HasLogo(const Channel& channel) {
  std::error_code error;
  return !channel.iconPath.empty() && std::filesystem::is_regular_file(channel.iconPath, error);
}

void PrintChannelTable(std::ostream& out, const std::vector<const Channel*>& channels,
                       const std::map<unsigned int, std::vector<std::string>>& groupsOf,
                       size_t width, bool logos) {
  // The groups take what the other columns leave of the line.
  const size_t groupsWidth = std::max<size_t>(16, width > 56 ? width - 56 : 0);
  TextTable table(logos ? std::vector<std::string>{"NO", "NAME", "GROUPS", "LOGO", "STREAM", "UID"}
                        : std::vector<std::string>{"NO", "NAME", "GROUPS", "STREAM", "UID"},
                  "  ");
  table.AlignRight(0);
  for (const Channel* channel : channels) {
    std::string groups;
    auto found = groupsOf.find(channel->uid);
    if (found != groupsOf.end()) {
      for (const std::string& group : found->second)
        groups += (groups.empty() ? "" : ", ") + group;
    }
    std::vector<std::string> row = {std::to_string(channel->number), Shorten(channel->name, 24),
                                    Shorten(groups.empty() ? "-" : groups, groupsWidth)};
    if (logos)
      row.push_back(HasLogo(*channel) ? "yes" : "missing");
    row.push_back(channel->streamUrl.empty() ? "none" : "yes");
    row.push_back(std::to_string(channel->uid));
    table.Add(row);
  }
  table.Print(out);
}

size_t GainedPlots(const std::vector<EpgEntry>& previous, const std::vector<EpgEntry>& latest) {
  std::set<unsigned int> withoutPlot;
  for (const EpgEntry& entry : previous) {
    if (entry.plot.empty())
      withoutPlot.insert(entry.broadcastId);
  }
  size_t gained = 0;
  for (const EpgEntry& entry : latest)
    gained += !entry.plot.empty() && withoutPlot.count(entry.broadcastId) > 0 ? 1 : 0;
  return gained;
}

std::pair<const EpgEntry*, const EpgEntry*> NowAndNext(const std::vector<EpgEntry>& entries,
                                                       time_t at) {
  const EpgEntry* now = nullptr;
  const EpgEntry* next = nullptr;
  for (const EpgEntry& entry : entries) {
    if (entry.startTime <= at && at < entry.endTime) {
      if (now == nullptr || entry.startTime < now->startTime)
        now = &entry;
    } else if (entry.startTime > at && (next == nullptr || entry.startTime < next->startTime)) {
      next = &entry;
    }
  }
  return {now, next};
}

const EpgEntry* FirstComingWithPlot(const std::vector<EpgEntry>& entries, time_t after) {
  const EpgEntry* first = nullptr;
  for (const EpgEntry& entry : entries) {
    if (entry.startTime > after && !entry.plot.empty() &&
        (first == nullptr || entry.startTime < first->startTime))
      first = &entry;
  }
  return first;
}

std::string ShowCell(const EpgEntry* entry, bool withEnd, size_t length) {
  if (entry == nullptr)
    return "-";
  return ClockTime(entry->startTime) + (withEnd ? "-" + ClockTime(entry->endTime) : "") + " " +
         Shorten(entry->title, length);
}

Json ShowJson(const EpgEntry* entry) {
  if (entry == nullptr)
    return nullptr;
  return Json{{"broadcastId", entry->broadcastId},
              {"title", entry->title},
              {"start", static_cast<long long>(entry->startTime)},
              {"end", static_cast<long long>(entry->endTime)}};
}

Json DetailsJson(unsigned int channelUid, const EpgEntry& show) {
  return Json{{"channel", channelUid},
              {"id", show.broadcastId},
              {"title", show.title},
              {"start", static_cast<long long>(show.startTime)},
              {"end", static_cast<long long>(show.endTime)},
              {"subTitle", show.plotOutline},
              {"genres", show.genreDescription},
              {"year", show.year},
              {"description", show.plot},
              {"image", show.iconPath}};
}

void PrintDetails(std::ostream& out, const std::string& channelName, const EpgEntry& show) {
  out << "  " << show.title << "  (" << channelName << ", " << DayAndTime(show.startTime) << "-"
      << ClockTime(show.endTime) << ", " << (show.endTime - show.startTime) / 60 << " min)\n";
  std::vector<std::pair<std::string, std::string>> rows;
  auto add = [&](const std::string& label, const std::string& value) {
    if (!value.empty())
      rows.push_back({label, value});
  };
  add("subtitle", show.plotOutline);
  add("genres", show.genreDescription);
  add("year", show.year > 0 ? std::to_string(show.year) : "");
  add("description", show.plot);
  add("cast", show.cast);
  add("director", show.director);
  add("writer", show.writer);
  add("image", show.iconPath);
  PrintPairs(out, rows, "    ");
  out << std::flush;
}

void PrintSummary(std::ostream& out, const Json& summary, time_t windowStart,
                  const std::string& requests, const std::string& firstError) {
  auto count = [&](const char* member) { return summary[member].get<size_t>(); };
  auto kinds = [&](const char* member) {
    return std::to_string(summary[member]["tv"].get<size_t>()) + " TV, " +
           std::to_string(summary[member]["radio"].get<size_t>()) + " radio";
  };
  const size_t tv = summary["channels"]["tv"];
  std::vector<std::pair<std::string, std::string>> rows;
  rows.push_back({"channels", kinds("channels")});
  rows.push_back({"groups", kinds("groups")});
  rows.push_back({"guide", std::to_string(count("tvChannelsWithGuide")) + " of " +
                               std::to_string(tv) + " TV channels with guide data, " +
                               Thousands(count("windowShows")) + " shows in the window from " +
                               LocalTime(windowStart)});
  rows.push_back(
      {"shows transferred", Thousands(count("showsTransferred")) + " in " +
                                Plural(count("guideRequests"), "guide request", "guide requests")});
  std::string detailed = "no";
  if (summary["detailedMode"].get<bool>()) {
    size_t read = 0;
    for (const char* request : {"firstTrigger", "detailsRequest"}) {
      if (summary[request].is_object())
        read += summary[request]["detailsRead"].get<size_t>();
    }
    detailed = "yes, seen " + Seconds(summary["detailedModeSeenAfter"].get<double>()) +
               " after every channel's guide was asked for; " + Plural(read, "show", "shows") +
               " completed with details";
  }
  rows.push_back({"detailed mode", detailed});
  rows.push_back({"requests", requests});
  const size_t errors = count("addonErrors");
  rows.push_back({"add-on errors", errors == 0 ? std::string("none")
                                               : std::to_string(errors) +
                                                     ", the first: " + Shorten(firstError, 70)});
  rows.push_back({"time taken", Seconds(summary["seconds"].get<double>())});
  const Json& caches = summary["caches"];
  auto bytes = [&](const char* member) { return Bytes(caches[member].get<uint64_t>()); };
  auto files = [&](const char* member) {
    return Plural(caches[member].get<size_t>(), "file", "files");
  };
  rows.push_back({"caches", bytes("total") + ": channels.zug " + bytes("channels") + ", guide " +
                                files("guideFiles") + " " + bytes("guide") + ", logos " +
                                files("logoFiles") + " " + bytes("logos")});
  PrintPairs(out, rows, "  ");
}

}  // namespace host
}  // namespace zu

// The session command: the add-on as a person meets it in the media centre. It loads the
// channels, looks at what is on now and next, asks for the guide of every channel over the
// window, then answers the add-on's guide refresh triggers (its update thread switches to
// detailed mode first), shows the details of one coming show, shuts the add-on down and sums
// up. Readable steps on a terminal or a pipe, or one JSON document with --json.

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "host/driver/Driver.h"
#include "host/driver/DriverContext.h"
#include "host/driver/Progress.h"
#include "host/driver/RequestCount.h"
#include "host/driver/TextTable.h"
#include "host/driver/UserCache.h"

namespace zu {
namespace host {
namespace {

using Clock = std::chrono::steady_clock;

// The first look at the guide covers this many hours (or the window, when shorter).
const long kNowNextHours = 3;
// The notification of the add-on's update thread when it switches to detailed mode.
const char kDetailedSwitch[] = "Triggering detailed EPG update";

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string Lower(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Plural(size_t n, const std::string& one, const std::string& many) {
  return Thousands(n) + " " + (n == 1 ? one : many);
}

// "20:15-21:45 Title", or "20:15 Title" without the end; the title cut to length characters.
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

// Persons as stored by the add-on: each group of a show's document comes as (role, role),
// (role, name), ...; the role's own entry is not a person.
std::vector<std::pair<std::string, std::vector<std::string>>> PersonsByRole(
    const std::vector<std::pair<std::string, std::string>>& persons) {
  std::vector<std::pair<std::string, std::vector<std::string>>> roles;
  for (const auto& person : persons) {
    if (person.second == person.first || person.second.empty())
      continue;
    auto role = std::find_if(roles.begin(), roles.end(),
                             [&](const auto& entry) { return entry.first == person.first; });
    if (role == roles.end())
      roles.push_back({person.first, {person.second}});
    else if (std::find(role->second.begin(), role->second.end(), person.second) ==
             role->second.end())
      role->second.push_back(person.second);
  }
  return roles;
}

// Labels and values, one pair a line: the values line up after the widest label and wrap at
// a readable width.
void PrintPairs(std::ostream& out, const std::vector<std::pair<std::string, std::string>>& rows,
                const std::string& indent) {
  size_t width = 0;
  for (const auto& row : rows)
    width = std::max(width, TextWidth(row.first));
  const std::string hanging = indent + std::string(width + 2, ' ');
  for (const auto& row : rows) {
    out << indent << row.first << std::string(width + 2 - TextWidth(row.first), ' ')
        << Wrap(row.second, 78 > hanging.size() + 30 ? 78 - hanging.size() : 30, hanging) << "\n";
  }
}

class Session {
 public:
  explicit Session(DriverContext& context)
      : c_(context),
        options_(context.options),
        host_(context.host),
        text_(!context.options.json),
        progress_(context.out, context.options.terminal, !context.options.json),
        cache_(context.host.UserPath()),
        deadline_(Clock::now() + std::chrono::seconds(context.options.duration)) {}

  int Run() {
    if (!options_.provider.empty()) {
      providerCounted_ =
          RequestCount::FetchProviderTargets(options_.provider, providerBefore_, providerError_);
    }
    windowStart_ = WindowStart(options_);
    windowEnd_ = windowStart_ + options_.hours * 3600;

    Start();
    int exit = LoadChannels();
    if (exit != kExitSuccess)
      return exit;
    FirstLook();
    PrintChannels();
    PrintNowAndNext();
    FetchGuide();
    exit = std::max(exit, AnswerTriggers());
    ShowDetails();
    ShutDown();
    Summary();
    return exit;
  }

 private:
  // Headings and lines are flushed, so that a pipe or a file shows each step as it happens.
  void Heading(const std::string& title) {
    progress_.EndLine();
    if (text_)
      c_.out << "\n== " << title << "\n" << std::flush;
  }

  void Line(const std::string& text) {
    progress_.EndLine();
    if (text_)
      c_.out << "  " << text << "\n" << std::flush;
  }

  // The width readable output keeps to: the terminal's, or 100 columns.
  size_t Width() const {
    return options_.columns >= 60 ? static_cast<size_t>(options_.columns) : 100;
  }

  // Errors the add-on logged since the last look, in a line or two; the rest is in the log.
  void ReportAddonErrors() {
    std::vector<LogLine> lines = host_.LogLines();
    std::vector<std::string> errors;
    for (size_t i = logSeen_; i < lines.size(); ++i) {
      if (lines[i].level == ADDON_LOG_ERROR && !lines[i].fromHost)
        errors.push_back(lines[i].text);
    }
    logSeen_ = lines.size();
    if (errors.empty())
      return;
    addonErrors_ += errors.size();
    if (firstError_.empty())
      firstError_ = errors.front();
    Line("the add-on logged " + Plural(errors.size(), "error", "errors") +
         " (see the host log), e.g.");
    Line("  " + Shorten(errors.front(), Width() - 6));
  }

  // Notifications other than errors (errors are reported as such) since the last look.
  void ReportNotifications() {
    std::vector<Notification> notifications = host_.Notifications();
    for (size_t i = notificationsSeen_; i < notifications.size(); ++i) {
      const Notification& notification = notifications[i];
      if (notification.text == kDetailedSwitch && !detailedMode_) {
        detailedMode_ = true;
        switchSeconds_ = everyChannelAsked_ ? Since(everyAskedAt_) : 0;
        Line("add-on: \"" + notification.text + "\": detailed mode on after " +
             Seconds(switchSeconds_));
      } else if (notification.kind != QUEUE_ERROR) {
        Line("add-on: \"" + notification.text + "\"");
      }
    }
    notificationsSeen_ = notifications.size();
  }

  // One guide request as the host makes it; the answer is kept as the channel's latest.
  PVR_ERROR AskGuide(const Channel& channel, time_t start, time_t end,
                     std::vector<EpgEntry>& entries) {
    entries.clear();
    PVR_ERROR result = host_.GetEpg(channel, start, end, entries);
    showsTransferred_ += entries.size();
    // The add-on starts its update thread when it has answered as many guide requests for
    // known channels as it has channels.
    if (++guideRequests_ == all_.size() && !everyChannelAsked_) {
      everyChannelAsked_ = true;
      everyAskedAt_ = Clock::now();
    }
    return result;
  }

  void Start() {
    const AddonManifest& manifest = host_.Manifest();
    BackendInfo backend = host_.GetBackendInfo();
    ADDON_STATUS status = host_.GetStatus();
    c_.document["addon"] = {{"id", manifest.id},
                            {"version", manifest.version},
                            {"status", AddonStatusName(status)},
                            {"pvrApiVersion", backend.pvrApiVersion}};
    // The heading came before the load (RunDriver), so the add-on's own start lines stand
    // under it.
    if (!text_)
      return;
    Line(manifest.id + " " + manifest.version + " from " + host_.ClientPath() + "/" +
         manifest.libraryFile);
    Line("loaded in " + Seconds(c_.loadSeconds) + ", status " + AddonStatusName(status) +
         "; PVR API " + backend.pvrApiVersion + ", backend " + backend.backendName + " " +
         backend.backendVersion);
    Line("user data: " + host_.UserPath());
    Line("host log:  " + host_.LogPath());
    if (!options_.provider.empty()) {
      Line("provider:  " + options_.provider + (providerCounted_ ? "" : " (not reachable)"));
    }
  }

  int LoadChannels() {
    Heading("Loading the channels");
    Clock::time_point start = Clock::now();
    std::vector<Channel> radio;
    if (!AllChannels(c_, all_, radio))
      return kExitCallFailed;
    for (const Channel& channel : all_) {
      byUid_[channel.uid] = channel;
      (channel.isRadio ? radio_ : tv_).push_back(channel);
    }
    auto byNumber = [](const Channel& a, const Channel& b) {
      return a.number != b.number ? a.number < b.number : a.uid < b.uid;
    };
    std::sort(tv_.begin(), tv_.end(), byNumber);
    std::sort(radio_.begin(), radio_.end(), byNumber);

    Json groupsJson = Json::array();
    for (bool groupRadio : {false, true}) {
      std::vector<ChannelGroup> groups;
      host_.GetChannelGroups(groupRadio, groups);
      (groupRadio ? radioGroups_ : tvGroups_) = groups.size();
      for (const ChannelGroup& group : groups) {
        std::vector<GroupMember> members;
        PVR_ERROR result = host_.GetChannelGroupMembers(group, members);
        for (const GroupMember& member : members)
          groupsOf_[member.channelUid].push_back(group.name);
        groupsJson.push_back({{"name", group.name},
                              {"radio", group.isRadio},
                              {"members", members.size()},
                              {"result", Result(result)}});
      }
    }
    c_.document["channels"] = {{"tv", tv_.size()}, {"radio", radio_.size()}};
    c_.document["groups"] = groupsJson;
    Line(Plural(tv_.size(), "TV channel", "TV channels") + " in " +
         Plural(tvGroups_, "group", "groups") + ", " +
         Plural(radio_.size(), "radio channel", "radio channels") + " in " +
         Plural(radioGroups_, "group", "groups") + " (" + Seconds(Since(start)) + ")");
    ReportNotifications();
    ReportAddonErrors();
    return SelectChannels();
  }

  // The channels --channel names (uid or name), or all.
  int SelectChannels() {
    for (const std::string& wanted : options_.channels) {
      bool found = false;
      for (const Channel& channel : all_) {
        if (std::to_string(channel.uid) == wanted || Lower(channel.name) == Lower(wanted)) {
          shown_.insert(channel.uid);
          found = true;
        }
      }
      if (!found) {
        progress_.EndLine();
        c_.err << "nivotv-host: no channel has the uid or name \"" << wanted << "\"\n";
        return kExitUsage;
      }
    }
    if (!shown_.empty())
      Line("showing " + Plural(shown_.size(), "channel", "channels") + " (--channel)");
    return kExitSuccess;
  }

  bool Shown(const Channel& channel) const {
    return shown_.empty() || shown_.count(channel.uid) > 0;
  }

  // Whether the session asks for the channel's guide: every channel, or with
  // --guide-channels N the first N TV channels by number.
  bool GuideAsked(const Channel& channel) const {
    if (options_.guideChannels <= 0)
      return true;
    const size_t limit = static_cast<size_t>(options_.guideChannels);
    for (size_t i = 0; i < tv_.size() && i < limit; ++i) {
      if (tv_[i].uid == channel.uid)
        return true;
    }
    return false;
  }

  // What is on in the next hours on the shown TV channels: the first guide requests, which
  // also make the add-on download the channel logos.
  void FirstLook() {
    long hours = std::min(options_.hours, kNowNextHours);
    Heading("Reading what is on in the next " + Plural(hours, "hour", "hours"));
    Clock::time_point start = Clock::now();
    std::vector<const Channel*> channels;
    for (const Channel& channel : tv_) {
      if (Shown(channel) && GuideAsked(channel))
        channels.push_back(&channel);
    }
    progress_.Start("TV channels", channels.size());
    size_t shows = 0;
    for (size_t i = 0; i < channels.size(); ++i) {
      progress_.Update(i, channels[i]->name);
      std::vector<EpgEntry>& entries = firstLook_[channels[i]->uid];
      AskGuide(*channels[i], windowStart_, windowStart_ + hours * 3600, entries);
      shows += entries.size();
    }
    progress_.Update(channels.size(), "");
    size_t logos = 0;
    for (const Channel* channel : channels)
      logos += HasLogo(*channel) ? 1 : 0;
    Line(Plural(shows, "show", "shows") + " on " +
         Plural(channels.size(), "TV channel", "TV channels") + "; logos present for " +
         std::to_string(logos) + " of " + std::to_string(channels.size()) + " (" +
         Seconds(Since(start)) + ")");
    ReportAddonErrors();
  }

  static bool HasLogo(const Channel& channel) {
    std::error_code error;
    return !channel.iconPath.empty() && std::filesystem::is_regular_file(channel.iconPath, error);
  }

  std::string Groups(const Channel& channel) const {
    auto found = groupsOf_.find(channel.uid);
    std::string text;
    if (found != groupsOf_.end()) {
      for (const std::string& group : found->second)
        text += (text.empty() ? "" : ", ") + group;
    }
    return text.empty() ? "-" : text;
  }

  void PrintChannels() {
    if (!text_)
      return;
    Heading("TV channels");
    // The groups take what the other columns leave of the line.
    const size_t groups = std::max<size_t>(16, Width() > 56 ? Width() - 56 : 0);
    TextTable tv({"NO", "NAME", "GROUPS", "LOGO", "STREAM", "UID"}, "  ");
    tv.AlignRight(0);
    for (const Channel& channel : tv_) {
      if (Shown(channel))
        tv.Add({std::to_string(channel.number), Shorten(channel.name, 24),
                Shorten(Groups(channel), groups), HasLogo(channel) ? "yes" : "missing",
                channel.streamUrl.empty() ? "none" : "yes", std::to_string(channel.uid)});
    }
    tv.Print(c_.out);
    Heading("Radio channels");
    TextTable radio({"NO", "NAME", "GROUPS", "STREAM", "UID"}, "  ");
    radio.AlignRight(0);
    for (const Channel& channel : radio_) {
      if (Shown(channel))
        radio.Add({std::to_string(channel.number), Shorten(channel.name, 24),
                   Shorten(Groups(channel), groups), channel.streamUrl.empty() ? "none" : "yes",
                   std::to_string(channel.uid)});
    }
    if (radio.Rows() > 0)
      radio.Print(c_.out);
    else
      Line("none shown");
  }

  void PrintNowAndNext() {
    Heading("Now and next, at " + LocalTime(windowStart_));
    TextTable table({"NO", "CHANNEL", "NOW", "NEXT"}, "  ");
    // Both titles share what the other columns leave of the line.
    const size_t titles = std::min<size_t>(40, std::max<size_t>(14, (Width() - 50) / 2));
    table.AlignRight(0);
    Json list = Json::array();
    for (const Channel& channel : tv_) {
      auto found = firstLook_.find(channel.uid);
      if (found == firstLook_.end())
        continue;
      std::vector<EpgEntry> entries = found->second;
      std::sort(entries.begin(), entries.end(),
                [](const EpgEntry& a, const EpgEntry& b) { return a.startTime < b.startTime; });
      const EpgEntry* now = nullptr;
      const EpgEntry* next = nullptr;
      for (const EpgEntry& entry : entries) {
        if (now == nullptr && entry.startTime <= windowStart_ && windowStart_ < entry.endTime) {
          now = &entry;
        } else if (entry.startTime > windowStart_ &&
                   (now == nullptr || entry.startTime >= now->startTime)) {
          next = &entry;
          break;
        }
      }
      table.Add({std::to_string(channel.number), Shorten(channel.name, 20),
                 ShowCell(now, true, titles), ShowCell(next, false, titles)});
      list.push_back({{"channel", channel.uid}, {"now", ShowJson(now)}, {"next", ShowJson(next)}});
    }
    c_.document["nowNext"] = list;
    if (text_)
      table.Print(c_.out);
  }

  // The guide of every channel over the window, TV and radio alike, as the host asks for it.
  void FetchGuide() {
    std::string window = options_.days > 0 ? Plural(options_.days, "day", "days")
                                           : Plural(options_.hours, "hour", "hours");
    Heading("Fetching the guide for the next " + window + " (every channel, as the host does)");
    Clock::time_point start = Clock::now();
    progress_.Start("channels", all_.size());
    Json list = Json::array();
    size_t shows = 0;
    for (size_t i = 0; i < all_.size(); ++i) {
      const Channel& channel = all_[i];
      if (!GuideAsked(channel))
        continue;
      std::vector<EpgEntry>& entries = guide_[channel.uid];
      PVR_ERROR result = AskGuide(channel, windowStart_, windowEnd_, entries);
      shows += entries.size();
      list.push_back(
          {{"channel", channel.uid}, {"entries", entries.size()}, {"result", Result(result)}});
      progress_.Update(i + 1, Thousands(shows) + " shows");
    }
    c_.document["guide"] = list;
    windowShows_ = shows;
    for (const Channel& channel : tv_)
      tvWithGuide_ += guide_[channel.uid].empty() ? 0 : 1;
    Line(Plural(shows, "show", "shows") + " for " + std::to_string(tvWithGuide_) + " of " +
         Plural(tv_.size(), "TV channel", "TV channels") + " (radio channels have no guide), " +
         Seconds(Since(start)));
    ReportAddonErrors();
  }

  // A guide request that answers a refresh trigger or stands for the user opening a guide;
  // says how many shows came and how many details the add-on read meanwhile.
  Json Refresh(const Channel& channel, const std::string& what) {
    Clock::time_point start = Clock::now();
    size_t before = channel.isRadio ? 0 : cache_.DetailedShows(channel.uid);
    std::vector<EpgEntry>& entries = guide_[channel.uid];
    PVR_ERROR result = AskGuide(channel, windowStart_, windowEnd_, entries);
    size_t after = channel.isRadio ? 0 : cache_.DetailedShows(channel.uid);
    size_t read = after > before ? after - before : 0;
    Line(what + " " + std::to_string(channel.number) + " " + channel.name +
         (channel.isRadio ? " (radio)" : ""));
    if (channel.isRadio)
      Line("  -> radio channels have no guide; nothing to read");
    else
      Line("  -> " + Plural(entries.size(), "show", "shows") + ", details read for " +
           Plural(read, "coming show", "coming shows") + " (" + Seconds(Since(start)) + ")");
    return Json{{"channel", channel.uid},
                {"radio", channel.isRadio},
                {"entries", entries.size()},
                {"detailsRead", read},
                {"result", Result(result)}};
  }

  // The TV channel whose details are shown when no refresh brought any: the first shown one.
  const Channel* FirstShownTv() const {
    for (const Channel& channel : tv_) {
      if (Shown(channel))
        return &channel;
    }
    return nullptr;
  }

  int AnswerTriggers() {
    Json refreshes = Json::array();
    long answered = 0;
    long unknown = 0;
    if (options_.duration > 0) {
      Heading("Waiting for the add-on's update thread");
      Line("Once the guide of every channel was asked for, the add-on's update thread");
      Line("waits 30 s, switches to detailed mode (guide requests then also read the");
      Line("details of coming shows) and asks the host to refresh one channel every 30 s.");
    }
    while (options_.duration > 0 && (options_.triggers == 0 || answered < options_.triggers)) {
      Clock::time_point now = Clock::now();
      if (now >= deadline_)
        break;
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - now);
      if (left.count() <= 0)
        break;
      // Text output ticks once a second for the clock; JSON output just waits.
      auto bound = text_ ? std::min(left, std::chrono::milliseconds(1000)) : left;
      std::optional<Trigger> trigger = host_.TakeTrigger(TriggerKind::EpgUpdate, bound);
      ReportNotifications();
      if (!trigger) {
        double waited = everyChannelAsked_ ? Since(everyAskedAt_) : 0;
        progress_.Status("waiting " + Seconds(waited) + (detailedMode_ ? "" : " of about 30 s") +
                             " since every channel's guide was asked for ...",
                         false);
        continue;
      }
      auto channel = byUid_.find(trigger->channelUid);
      if (channel == byUid_.end()) {
        ++unknown;
        progress_.EndLine();
        c_.err << "guide refresh requested for the unknown channel " << trigger->channelUid << "\n";
        continue;
      }
      ++answered;
      Json refresh =
          Refresh(channel->second, "refresh trigger " + std::to_string(answered) + " for");
      refreshes.push_back(refresh);
      if (answered != 1)
        continue;
      firstTrigger_ = refresh;
      if (refresh["detailsRead"].get<size_t>() > 0) {
        detailsChannel_ = channel->second.uid;
      } else if (detailedMode_ && FirstShownTv() != nullptr) {
        // The thread refreshes the channels in uid order, radio ones too, one every 30 s; so
        // that the session need not wait for the first TV channel, the host asks for a guide
        // on its own, as it does when the user opens one.
        const Channel& tv = *FirstShownTv();
        detailsRequest_ = Refresh(tv, "the user opens the guide of");
        detailsChannel_ = tv.uid;
      }
    }
    progress_.EndLine();
    ReportAddonErrors();

    size_t otherTriggers = 0;
    for (const Trigger& trigger : host_.Triggers())
      otherTriggers += trigger.kind != TriggerKind::EpgUpdate ? 1 : 0;
    int exit = kExitSuccess;
    if (options_.triggers != 0 && answered < options_.triggers) {
      c_.err << "only " << answered << " of " << options_.triggers
             << " guide refresh triggers arrived within " << options_.duration << " s\n";
      exit = kExitCallFailed;
    }
    answered_ = answered;
    c_.document["refreshes"] = refreshes;
    c_.document["unknownChannelTriggers"] = unknown;
    c_.document["otherTriggers"] = otherTriggers;
    if (options_.duration > 0) {
      Line(
          "answered " +
          Plural(static_cast<size_t>(answered), "guide refresh trigger", "guide refresh triggers") +
          (unknown > 0 ? ", " + std::to_string(unknown) + " for unknown channels" : "") + "; " +
          std::to_string(otherTriggers) + " other triggers");
    }
    return exit;
  }

  // One coming show of the details channel whose details the add-on read, as the guide cache
  // holds it (the host is not told the persons).
  void ShowDetails() {
    Heading("Details of a coming show");
    const Channel* channel = nullptr;
    auto found = byUid_.find(detailsChannel_);
    if (found != byUid_.end())
      channel = &found->second;
    else
      channel = FirstShownTv();
    nivo::TVShows shows;
    std::string error;
    if (channel != nullptr && !cache_.ReadShows(channel->uid, shows, error))
      Line(error);
    time_t now = time(nullptr);
    const nivo::TVShow* chosen = nullptr;
    for (const nivo::TVShow& show : shows) {
      if (!show.detailsRead || UserCache::ToTime(show.start) <= now)
        continue;
      // The first coming one with a description and persons, else the first with details.
      if (!show.description.empty() && !show.persons.empty()) {
        chosen = &show;
        break;
      }
      if (chosen == nullptr)
        chosen = &show;
    }
    if (chosen == nullptr) {
      c_.document["details"] = nullptr;
      Line("none yet: the add-on reads details only in detailed mode, which its update thread");
      Line("switches on 30 s after the guide of every channel was asked for");
      return;
    }
    const nivo::TVShow& show = *chosen;
    time_t start = UserCache::ToTime(show.start);
    time_t end = UserCache::ToTime(show.end);
    auto roles = PersonsByRole(show.persons);
    Json persons = Json::array();
    for (const auto& role : roles)
      persons.push_back({{"role", role.first}, {"names", role.second}});
    c_.document["details"] = {{"channel", channel->uid},
                              {"id", show.id},
                              {"title", show.title},
                              {"start", static_cast<long long>(start)},
                              {"end", static_cast<long long>(end)},
                              {"subTitle", show.subTitle},
                              {"genres", show.genreText},
                              {"country", show.country},
                              {"year", show.year},
                              {"duration", show.duration},
                              {"description", show.description},
                              {"image", show.image},
                              {"persons", persons}};
    if (!text_)
      return;
    Line(show.title + "  (" + channel->name + ", " + DayAndTime(start) + "-" + ClockTime(end) +
         (show.duration > 0 ? ", " + std::to_string(show.duration) + " min" : "") + ")");
    std::vector<std::pair<std::string, std::string>> rows;
    auto add = [&](const std::string& label, const std::string& value) {
      if (!value.empty())
        rows.push_back({label, value});
    };
    add("subtitle", show.subTitle);
    add("genres", show.genreText);
    std::string origin = show.country;
    if (show.year > 0)
      origin += (origin.empty() ? "" : " ") + std::to_string(show.year);
    add("made", origin);
    add("description", show.description);
    for (const auto& role : roles) {
      std::string names;
      for (const std::string& name : role.second)
        names += (names.empty() ? "" : ", ") + name;
      add(role.first.empty() ? "person" : role.first, names);
    }
    add("image", show.image);
    PrintPairs(c_.out, rows, "    ");
  }

  void ShutDown() {
    Heading("Shutting down");
    Clock::time_point start = Clock::now();
    host_.Destroy();
    c_.destroyed = true;
    double seconds = Since(start);
    size_t open = host_.OpenRegistrations();
    size_t problems = host_.HostErrors();
    ReportAddonErrors();
    Line("ADDON_Destroy returned after " + Seconds(seconds) + ": " +
         (open == 0 ? std::string("every helper library registration ended")
                    : Plural(open, "registration", "registrations") + " left open") +
         ",");
    Line(problems == 0 ? std::string("no problems with the add-on's conduct")
                       : Plural(problems, "problem", "problems") +
                             " with the add-on's conduct (see the host log)");
    c_.document["shutdown"] = {{"seconds", seconds}, {"openRegistrations", open}};
  }

  void Summary() {
    RequestCount requests = RequestCount::FromLog(host_.LogLines());
    std::string requestsNote = "counted from the host log";
    if (providerCounted_) {
      std::vector<std::string> after;
      std::string error;
      if (RequestCount::FetchProviderTargets(options_.provider, after, error)) {
        requests = RequestCount::FromProvider(providerBefore_, after);
        requestsNote = "counted by the provider at " + options_.provider;
      } else {
        requestsNote += "; the provider stopped answering: " + error;
      }
    } else if (!options_.provider.empty()) {
      requestsNote += " (the provider at " + options_.provider + " is not reachable)";
    }
    CacheSizes caches = cache_.Measure();
    double seconds = Since(c_.started);

    Json kinds = Json::object();
    for (const std::string& kind : RequestCount::Kinds())
      kinds[kind] = requests.Of(kind);
    c_.document["summary"] = {{"channels", {{"tv", tv_.size()}, {"radio", radio_.size()}}},
                              {"groups", {{"tv", tvGroups_}, {"radio", radioGroups_}}},
                              {"tvChannelsWithGuide", tvWithGuide_},
                              {"windowShows", windowShows_},
                              {"showsTransferred", showsTransferred_},
                              {"guideRequests", guideRequests_},
                              {"detailedMode", detailedMode_},
                              {"refreshesAnswered", answered_},
                              {"firstTrigger", firstTrigger_},
                              {"detailsRequest", detailsRequest_},
                              {"requests",
                               {{"source", requests.ByProvider() ? "provider" : "log"},
                                {"providerError", providerError_},
                                {"total", requests.Total()},
                                {"failed", requests.Failed()},
                                {"kinds", kinds}}},
                              {"addonErrors", addonErrors_},
                              {"seconds", seconds},
                              {"caches",
                               {{"channels", caches.channels},
                                {"guideFiles", caches.guideFiles},
                                {"guide", caches.guide},
                                {"logoFiles", caches.logoFiles},
                                {"logos", caches.logos},
                                {"total", caches.Total()}}}};
    if (!text_)
      return;

    Heading("Summary");
    std::vector<std::pair<std::string, std::string>> rows;
    rows.push_back({"channels", std::to_string(tv_.size()) + " TV, " +
                                    std::to_string(radio_.size()) + " radio"});
    rows.push_back(
        {"groups", std::to_string(tvGroups_) + " TV, " + std::to_string(radioGroups_) + " radio"});
    rows.push_back({"guide", std::to_string(tvWithGuide_) + " of " + std::to_string(tv_.size()) +
                                 " TV channels with guide data, " + Thousands(windowShows_) +
                                 " shows in the window from " + LocalTime(windowStart_)});
    rows.push_back(
        {"shows transferred", Thousands(showsTransferred_) + " in " +
                                  Plural(guideRequests_, "guide request", "guide requests")});
    std::string detailed = "no";
    if (detailedMode_) {
      detailed = "yes, " + Seconds(switchSeconds_) + " after every channel's guide was asked for";
      size_t read = 0;
      if (firstTrigger_.is_object())
        read += firstTrigger_["detailsRead"].get<size_t>();
      if (detailsRequest_.is_object())
        read += detailsRequest_["detailsRead"].get<size_t>();
      detailed += "; " + Plural(read, "show", "shows") + " completed with details";
    }
    rows.push_back({"detailed mode", detailed});
    rows.push_back({"requests", requests.Describe() + "; " + requestsNote});
    rows.push_back({"add-on errors", addonErrors_ == 0
                                         ? std::string("none")
                                         : std::to_string(addonErrors_) +
                                               ", the first: " + Shorten(firstError_, 70)});
    rows.push_back({"time taken", Seconds(seconds)});
    rows.push_back({"caches", Bytes(caches.Total()) + ": channels.zug " + Bytes(caches.channels) +
                                  ", guide " + Plural(caches.guideFiles, "file", "files") + " " +
                                  Bytes(caches.guide) + ", logos " +
                                  Plural(caches.logoFiles, "file", "files") + " " +
                                  Bytes(caches.logos)});
    PrintPairs(c_.out, rows, "  ");
  }

  DriverContext& c_;
  const DriverOptions& options_;
  StandInHost& host_;
  bool text_;
  Progress progress_;
  UserCache cache_;
  Clock::time_point deadline_;
  time_t windowStart_ = 0;
  time_t windowEnd_ = 0;

  std::vector<Channel> all_;  // as the add-on listed them, TV first
  std::vector<Channel> tv_;   // by number
  std::vector<Channel> radio_;
  std::map<unsigned int, Channel> byUid_;
  std::set<unsigned int> shown_;  // --channel; empty: all
  std::map<unsigned int, std::vector<std::string>> groupsOf_;
  size_t tvGroups_ = 0;
  size_t radioGroups_ = 0;

  // The latest guide answers per channel.
  std::map<unsigned int, std::vector<EpgEntry>> firstLook_;
  std::map<unsigned int, std::vector<EpgEntry>> guide_;
  size_t guideRequests_ = 0;
  size_t showsTransferred_ = 0;
  size_t windowShows_ = 0;
  size_t tvWithGuide_ = 0;
  bool everyChannelAsked_ = false;
  Clock::time_point everyAskedAt_;

  bool detailedMode_ = false;
  double switchSeconds_ = 0;
  long answered_ = 0;
  Json firstTrigger_ = nullptr;
  Json detailsRequest_ = nullptr;
  unsigned int detailsChannel_ = 0;

  size_t logSeen_ = 0;
  size_t notificationsSeen_ = 0;
  size_t addonErrors_ = 0;
  std::string firstError_;

  bool providerCounted_ = false;
  std::vector<std::string> providerBefore_;
  std::string providerError_;
};

}  // namespace

int RunSession(DriverContext& context) {
  return Session(context).Run();
}

}  // namespace host
}  // namespace zu

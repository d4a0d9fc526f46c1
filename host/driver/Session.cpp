// The session command: the add-on as a person meets it in the media centre. It loads the
// channels, looks at what is on now and next, asks for the guide of every channel over the
// window, then answers the add-on's guide refresh triggers (its update thread switches to
// detailed mode first), shows the details of one coming show, shuts the add-on down and sums
// up. Readable steps on a terminal or a pipe, or one JSON document with --json.

#include <strings.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "host/driver/CacheSizes.h"
#include "host/driver/Driver.h"
#include "host/driver/DriverContext.h"
#include "host/driver/Progress.h"
#include "host/driver/RequestCount.h"
#include "host/driver/SessionReport.h"
#include "host/driver/TextTable.h"

namespace zu {
namespace host {
namespace {

using Clock = std::chrono::steady_clock;

// The first look at the guide covers this many hours (or the window, when shorter).
const long kNowNextHours = 3;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

class Session {
 public:
  explicit Session(DriverContext& context)
      : c_(context),
        options_(context.options),
        host_(context.host),
        text_(!context.options.json),
        progress_(context.out, context.options.terminal, !context.options.json),
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
      if (notifications[i].kind != QUEUE_ERROR)
        Line("add-on: \"" + notifications[i].text + "\"");
    }
    notificationsSeen_ = notifications.size();
  }

  // The add-on is seen in detailed mode (how says by what); once.
  void SeeDetailedMode(const std::string& how) {
    if (detailedMode_)
      return;
    detailedMode_ = true;
    switchSeconds_ = everyAsked_ ? Since(everyAskedAt_) : 0;
    Line("detailed mode on after " + Seconds(switchSeconds_) + ": " + how);
  }

  // One guide request as the host makes it; the answer becomes the channel's latest. The
  // number of entries that came with a plot where the previous answer had them without is
  // returned in gained: the details the add-on read meanwhile.
  PVR_ERROR AskGuide(const Channel& channel, time_t start, time_t end, size_t& gained) {
    std::vector<EpgEntry> entries;
    PVR_ERROR result = host_.GetEpg(channel, start, end, entries);
    ++guideRequests_;
    showsTransferred_ += entries.size();
    std::vector<EpgEntry>& latest = guide_[channel.uid];
    gained = GainedPlots(latest, entries);
    latest = std::move(entries);
    if (gained > 0)
      SeeDetailedMode("guide entries gained plots");
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
        if (std::to_string(channel.uid) == wanted ||
            strcasecmp(channel.name.c_str(), wanted.c_str()) == 0) {
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
    std::vector<const Channel*> channels = ShownOf(tv_);
    channels.erase(std::remove_if(channels.begin(), channels.end(),
                                  [&](const Channel* channel) { return !GuideAsked(*channel); }),
                   channels.end());
    progress_.Start("TV channels", channels.size());
    size_t shows = 0;
    for (size_t i = 0; i < channels.size(); ++i) {
      progress_.Update(i, channels[i]->name);
      size_t gained = 0;
      AskGuide(*channels[i], windowStart_, windowStart_ + hours * 3600, gained);
      shows += guide_[channels[i]->uid].size();
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

  std::vector<const Channel*> ShownOf(const std::vector<Channel>& channels) const {
    std::vector<const Channel*> shown;
    for (const Channel& channel : channels) {
      if (Shown(channel))
        shown.push_back(&channel);
    }
    return shown;
  }

  void PrintChannels() {
    if (!text_)
      return;
    Heading("TV channels");
    PrintChannelTable(c_.out, ShownOf(tv_), groupsOf_, Width(), true);
    Heading("Radio channels");
    std::vector<const Channel*> radio = ShownOf(radio_);
    if (radio.empty())
      Line("none shown");
    else
      PrintChannelTable(c_.out, radio, groupsOf_, Width(), false);
  }

  void PrintNowAndNext() {
    Heading("Now and next, at " + LocalTime(windowStart_));
    TextTable table({"NO", "CHANNEL", "NOW", "NEXT"}, "  ");
    // Both titles share what the other columns leave of the line.
    const size_t titles = std::min<size_t>(40, std::max<size_t>(14, (Width() - 50) / 2));
    table.AlignRight(0);
    Json list = Json::array();
    for (const Channel& channel : tv_) {
      // The first look's answers, as the guide walk has not begun.
      auto found = guide_.find(channel.uid);
      if (found == guide_.end())
        continue;
      auto [now, next] = NowAndNext(found->second, windowStart_);
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
      size_t gained = 0;
      PVR_ERROR result = AskGuide(channel, windowStart_, windowEnd_, gained);
      const size_t entries = guide_[channel.uid].size();
      shows += entries;
      list.push_back({{"channel", channel.uid}, {"entries", entries}, {"result", Result(result)}});
      progress_.Update(i + 1, Thousands(shows) + " shows");
    }
    everyAsked_ = true;
    everyAskedAt_ = Clock::now();
    c_.document["guide"] = list;
    windowShows_ = shows;
    for (const Channel& channel : tv_)
      tvWithGuide_ += guide_[channel.uid].empty() ? 0 : 1;
    Line(Plural(shows, "show", "shows") + " for " + std::to_string(tvWithGuide_) + " of " +
         Plural(tv_.size(), "TV channel", "TV channels") + " (" + Seconds(Since(start)) + ")");
    ReportAddonErrors();
  }

  // A guide request that answers a refresh trigger or stands for the user opening a guide;
  // says how many shows came and how many of them gained details since the last answer.
  Json Refresh(const Channel& channel, const std::string& what) {
    Clock::time_point start = Clock::now();
    size_t gained = 0;
    PVR_ERROR result = AskGuide(channel, windowStart_, windowEnd_, gained);
    const size_t entries = guide_[channel.uid].size();
    Line(what + " " + std::to_string(channel.number) + " " + channel.name +
         (channel.isRadio ? " (radio)" : ""));
    Line("  -> " +
         (entries == 0 ? std::string("no guide entries")
                       : Plural(entries, "show", "shows") + ", details came for " +
                             Plural(gained, "coming show", "coming shows")) +
         " (" + Seconds(Since(start)) + ")");
    return Json{{"channel", channel.uid},
                {"radio", channel.isRadio},
                {"entries", entries},
                {"detailsRead", gained},
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
      Line("switches to detailed mode (guide requests then also read the details of coming");
      Line("shows) and asks the host to refresh the guides, one channel at a time.");
    }
    while (options_.duration > 0 && (options_.triggers == 0 || answered < options_.triggers)) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now());
      if (left.count() <= 0)
        break;
      // Text output ticks once a second for the clock; JSON output just waits.
      auto bound = text_ ? std::min(left, std::chrono::milliseconds(1000)) : left;
      std::optional<Trigger> trigger = host_.TakeTrigger(TriggerKind::EpgUpdate, bound);
      ReportNotifications();
      if (!trigger) {
        progress_.Status("waiting " + Seconds(Since(everyAskedAt_)) +
                             " since every channel's guide was asked for ...",
                         false);
        continue;
      }
      SeeDetailedMode("the add-on asks the host to refresh guides");
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
      } else if (FirstShownTv() != nullptr) {
        // The trigger's channel brought no details (a radio channel, say); so that the session
        // need not wait for the next trigger, the host asks for a TV guide on its own, as it
        // does when the user opens one.
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

  // The first coming show with a plot in the latest guide answer of the details channel: the
  // details as the host has them.
  void ShowDetails() {
    Heading("Details of a coming show");
    auto found = byUid_.find(detailsChannel_);
    const Channel* channel = found != byUid_.end() ? &found->second : FirstShownTv();
    const EpgEntry* chosen =
        channel != nullptr ? FirstComingWithPlot(guide_[channel->uid], time(nullptr)) : nullptr;
    if (chosen == nullptr) {
      c_.document["details"] = nullptr;
      Line("none yet: no coming show in the guide has a plot (the add-on reads details only in");
      Line("detailed mode)");
      return;
    }
    c_.document["details"] = DetailsJson(channel->uid, *chosen);
    if (text_)
      PrintDetails(c_.out, channel->name, *chosen);
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
    // Only the provider knows the requests it received; without it they are not counted.
    Json requestsJson = {{"source", "none"}};
    std::string requestsText = "not counted (no --provider)";
    std::vector<std::string> after;
    if (providerCounted_ &&
        RequestCount::FetchProviderTargets(options_.provider, after, providerError_)) {
      RequestCount requests = RequestCount::FromProvider(providerBefore_, after);
      Json kinds = Json::object();
      for (const std::string& kind : RequestCount::Kinds())
        kinds[kind] = requests.Of(kind);
      requestsJson = {{"source", "provider"}, {"total", requests.Total()}, {"kinds", kinds}};
      requestsText = requests.Describe() + "; counted by the provider at " + options_.provider;
    } else if (!options_.provider.empty()) {
      requestsJson["providerError"] = providerError_;
      requestsText = "not counted: " + providerError_;
    }
    CacheSizes caches = MeasureCaches(host_.UserPath());
    double seconds = Since(c_.started);

    c_.document["summary"] = {
        {"channels", {{"tv", tv_.size()}, {"radio", radio_.size()}}},
        {"groups", {{"tv", tvGroups_}, {"radio", radioGroups_}}},
        {"tvChannelsWithGuide", tvWithGuide_},
        {"windowShows", windowShows_},
        {"showsTransferred", showsTransferred_},
        {"guideRequests", guideRequests_},
        {"detailedMode", detailedMode_},
        {"detailedModeSeenAfter", detailedMode_ ? Json(switchSeconds_) : Json()},
        {"refreshesAnswered", answered_},
        {"firstTrigger", firstTrigger_},
        {"detailsRequest", detailsRequest_},
        {"requests", requestsJson},
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
    PrintSummary(c_.out, c_.document["summary"], windowStart_, requestsText, firstError_);
  }

  DriverContext& c_;
  const DriverOptions& options_;
  StandInHost& host_;
  bool text_;
  Progress progress_;
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

  // The latest guide answer per channel.
  std::map<unsigned int, std::vector<EpgEntry>> guide_;
  size_t guideRequests_ = 0;
  size_t showsTransferred_ = 0;
  size_t windowShows_ = 0;
  size_t tvWithGuide_ = 0;
  bool everyAsked_ = false;  // the walk over every channel's guide is done
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

#include "host/driver/Driver.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "host/StandInHost.h"

namespace zu {
namespace host {
namespace {

using Json = nlohmann::ordered_json;

// A readable table: a header line, then the rows, columns padded to their widest cell.
class TextTable {
 public:
  explicit TextTable(std::vector<std::string> headers) : headers_(std::move(headers)) {}
  void Add(std::vector<std::string> row) { rows_.push_back(std::move(row)); }
  void Print(std::ostream& out) const {
    std::vector<size_t> widths(headers_.size(), 0);
    for (size_t c = 0; c < headers_.size(); ++c)
      widths[c] = headers_[c].size();
    for (const auto& row : rows_)
      for (size_t c = 0; c < row.size() && c < widths.size(); ++c)
        widths[c] = std::max(widths[c], row[c].size());
    PrintRow(out, headers_, widths);
    for (const auto& row : rows_)
      PrintRow(out, row, widths);
  }

 private:
  static void PrintRow(std::ostream& out, const std::vector<std::string>& row,
                       const std::vector<size_t>& widths) {
    std::string line;
    for (size_t c = 0; c < row.size() && c < widths.size(); ++c) {
      line += row[c];
      if (c + 1 < row.size())
        line += std::string(widths[c] - row[c].size() + 2, ' ');
    }
    out << line << "\n";
  }

  std::vector<std::string> headers_;
  std::vector<std::vector<std::string>> rows_;
};

// What every command works with.
struct Context {
  const DriverOptions& options;
  StandInHost& host;
  std::ostream& out;
  std::ostream& err;
  Json document;
};

std::string LocalTime(time_t when) {
  struct tm local;
  if (localtime_r(&when, &local) == nullptr)
    return std::to_string(when);
  char text[32];
  strftime(text, sizeof(text), "%Y-%m-%d %H:%M", &local);
  return text;
}

std::string YesNo(bool value) {
  return value ? "yes" : "no";
}

// At most length characters (of UTF-8 text), "..." marking a cut.
std::string Shorten(const std::string& text, size_t length) {
  size_t characters = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && ++characters > length)
      return text.substr(0, i) + "...";
  }
  return text;
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

template <class T>
Json ToJsonList(const std::vector<T>& entries) {
  Json list = Json::array();
  for (const T& entry : entries)
    list.push_back(ToJson(entry));
  return list;
}

// Tells the user about an error answer; the exit code to use.
int Answer(Context& context, const char* call, int result) {
  if (result == PVR_ERROR_NO_ERROR)
    return kExitSuccess;
  context.err << call << " answered " << result << " (" << PvrErrorName(result) << ")\n";
  return kExitCallFailed;
}

void PrintChannels(Context& context, const std::vector<Channel>& channels) {
  TextTable table({"UID", "NUMBER", "NAME", "RADIO", "STREAM URL", "ICON"});
  for (const Channel& channel : channels)
    table.Add({std::to_string(channel.uid), std::to_string(channel.number), channel.name,
               YesNo(channel.isRadio), channel.streamUrl, channel.iconPath});
  table.Print(context.out);
}

void PrintGuide(Context& context, const std::vector<EpgEntry>& entries) {
  TextTable table({"ID", "START", "END", "TITLE", "GENRE", "PLOT"});
  for (const EpgEntry& entry : entries)
    table.Add({std::to_string(entry.broadcastId), LocalTime(entry.startTime),
               LocalTime(entry.endTime), entry.title, entry.genreDescription,
               Shorten(!entry.plotOutline.empty() ? entry.plotOutline : entry.plot, 60)});
  table.Print(context.out);
}

void PrintTimers(Context& context, const std::vector<Timer>& timers) {
  TextTable table({"INDEX", "CHANNEL", "START", "END", "STATE", "TITLE"});
  for (const Timer& timer : timers)
    table.Add({std::to_string(timer.clientIndex), std::to_string(timer.clientChannelUid),
               LocalTime(timer.startTime), LocalTime(timer.endTime), TimerStateName(timer.state),
               timer.title});
  table.Print(context.out);
}

int Status(Context& context) {
  StandInHost& host = context.host;
  ADDON_STATUS status = host.GetStatus();
  PVR_ADDON_CAPABILITIES capabilities;
  PVR_ERROR capabilitiesResult = host.GetCapabilities(capabilities);
  BackendInfo backend = host.GetBackendInfo();
  long long total = 0;
  long long used = 0;
  PVR_ERROR spaceResult = host.GetDriveSpace(total, used);

  const std::pair<const char*, bool> flags[] = {
      {"epg", capabilities.bSupportsEPG},
      {"tv", capabilities.bSupportsTV},
      {"radio", capabilities.bSupportsRadio},
      {"recordings", capabilities.bSupportsRecordings},
      {"recordingsUndelete", capabilities.bSupportsRecordingsUndelete},
      {"timers", capabilities.bSupportsTimers},
      {"channelGroups", capabilities.bSupportsChannelGroups},
      {"channelScan", capabilities.bSupportsChannelScan},
      {"channelSettings", capabilities.bSupportsChannelSettings},
      {"handlesInputStream", capabilities.bHandlesInputStream},
      {"handlesDemuxing", capabilities.bHandlesDemuxing},
      {"recordingPlayCount", capabilities.bSupportsRecordingPlayCount},
      {"lastPlayedPosition", capabilities.bSupportsLastPlayedPosition},
      {"recordingEdl", capabilities.bSupportsRecordingEdl}};
  Json flagsJson = Json::object();
  std::string supported;
  for (const auto& flag : flags) {
    flagsJson[flag.first] = flag.second;
    if (flag.second)
      supported += std::string(supported.empty() ? "" : ", ") + flag.first;
  }

  const AddonManifest& manifest = host.Manifest();
  if (context.options.json) {
    Json& doc = context.document;
    doc["addon"] = {{"id", manifest.id},
                    {"version", manifest.version},
                    {"folder", host.ClientPath()},
                    {"library", manifest.libraryFile}};
    doc["status"] = {{"value", status}, {"name", AddonStatusName(status)}};
    doc["capabilitiesResult"] = Result(capabilitiesResult);
    doc["capabilities"] = flagsJson;
    doc["backend"] = {{"pvrApiVersion", backend.pvrApiVersion},
                      {"minimumPvrApiVersion", backend.minimumPvrApiVersion},
                      {"guiApiVersion", backend.guiApiVersion},
                      {"minimumGuiApiVersion", backend.minimumGuiApiVersion},
                      {"name", backend.backendName},
                      {"version", backend.backendVersion},
                      {"connection", backend.connectionString},
                      {"hostname", backend.backendHostname}};
    doc["driveSpace"] = {{"result", Result(spaceResult)}, {"total", total}, {"used", used}};
  } else {
    TextTable table({"ITEM", "VALUE"});
    table.Add({"add-on", manifest.id + " " + manifest.version + " (" + host.ClientPath() + "/" +
                             manifest.libraryFile + ")"});
    table.Add({"status", std::to_string(status) + " (" + AddonStatusName(status) + ")"});
    table.Add(
        {"PVR API", backend.pvrApiVersion + " (minimum " + backend.minimumPvrApiVersion + ")"});
    table.Add(
        {"GUI API", backend.guiApiVersion + " (minimum " + backend.minimumGuiApiVersion + ")"});
    table.Add({"backend", backend.backendName + " " + backend.backendVersion + ", " +
                              backend.connectionString});
    table.Add({"capabilities", supported.empty() ? "none" : supported});
    table.Add({"drive space", std::to_string(used) + " of " + std::to_string(total) + " used"});
    table.Print(context.out);
  }
  return std::max(Answer(context, "GetAddonCapabilities", capabilitiesResult),
                  Answer(context, "GetDriveSpace", spaceResult));
}

int Channels(Context& context) {
  std::vector<Channel> channels;
  PVR_ERROR result = context.host.GetChannels(context.options.radio, channels);
  if (context.options.json) {
    context.document["radio"] = context.options.radio;
    context.document["result"] = Result(result);
    context.document["channels"] = ToJsonList(channels);
  } else {
    PrintChannels(context, channels);
    context.out << channels.size() << (context.options.radio ? " radio" : " TV") << " channels\n";
  }
  return Answer(context, "GetChannels", result);
}

int Groups(Context& context) {
  std::vector<ChannelGroup> groups;
  PVR_ERROR result = context.host.GetChannelGroups(context.options.radio, groups);
  if (context.options.json) {
    context.document["radio"] = context.options.radio;
    context.document["result"] = Result(result);
    context.document["groups"] = ToJsonList(groups);
  } else {
    TextTable table({"NAME", "RADIO", "POSITION"});
    for (const ChannelGroup& group : groups)
      table.Add({group.name, YesNo(group.isRadio), std::to_string(group.position)});
    table.Print(context.out);
    context.out << groups.size() << (context.options.radio ? " radio" : " TV") << " groups\n";
  }
  return Answer(context, "GetChannelGroups", result);
}

int Members(Context& context) {
  ChannelGroup group;
  group.name = context.options.arguments[0];
  group.isRadio = context.options.radio;
  std::vector<GroupMember> members;
  PVR_ERROR result = context.host.GetChannelGroupMembers(group, members);
  if (context.options.json) {
    context.document["group"] = ToJson(group);
    context.document["result"] = Result(result);
    context.document["members"] = ToJsonList(members);
  } else {
    TextTable table({"CHANNEL UID", "NUMBER", "GROUP"});
    for (const GroupMember& member : members)
      table.Add({std::to_string(member.channelUid), std::to_string(member.channelNumber),
                 member.groupName});
    table.Print(context.out);
    context.out << members.size() << " members of \"" << group.name << "\"\n";
  }
  return Answer(context, "GetChannelGroupMembers", result);
}

// All channels, TV first; false after telling the user when the add-on answered an error.
bool AllChannels(Context& context, std::vector<Channel>& all, std::vector<Channel>& radio) {
  PVR_ERROR tvResult = context.host.GetChannels(false, all);
  PVR_ERROR radioResult = context.host.GetChannels(true, radio);
  all.insert(all.end(), radio.begin(), radio.end());
  if (tvResult != PVR_ERROR_NO_ERROR && radioResult != PVR_ERROR_NO_ERROR) {
    Answer(context, "GetChannels", tvResult);
    return false;
  }
  return true;
}

time_t WindowStart(const DriverOptions& options) {
  return options.haveFrom ? options.from : time(nullptr);
}

int Guide(Context& context) {
  unsigned long uid = std::stoul(context.options.arguments[0]);
  std::vector<Channel> all;
  std::vector<Channel> radio;
  if (!AllChannels(context, all, radio))
    return kExitCallFailed;
  auto channel = std::find_if(all.begin(), all.end(),
                              [uid](const Channel& candidate) { return candidate.uid == uid; });
  if (channel == all.end()) {
    context.err << "channel " << uid << " is not among the add-on's " << all.size()
                << " channels\n";
    return kExitCallFailed;
  }
  time_t start = WindowStart(context.options);
  time_t end = start + context.options.hours * 3600;
  std::vector<EpgEntry> entries;
  PVR_ERROR result = context.host.GetEpg(*channel, start, end, entries);
  if (context.options.json) {
    context.document["channel"] = ToJson(*channel);
    context.document["start"] = static_cast<long long>(start);
    context.document["end"] = static_cast<long long>(end);
    context.document["result"] = Result(result);
    context.document["entries"] = ToJsonList(entries);
  } else {
    context.out << "guide of " << channel->uid << " " << channel->name << " from "
                << LocalTime(start) << " to " << LocalTime(end) << "\n";
    PrintGuide(context, entries);
    context.out << entries.size() << " entries\n";
  }
  return Answer(context, "GetEpg", result);
}

int Timers(Context& context) {
  std::vector<std::string> steps = context.options.arguments;
  if (steps.empty())
    steps.push_back("list");
  Json stepsJson = Json::array();
  int exit = kExitSuccess;
  for (size_t i = 0; i < steps.size(); ++i) {
    const std::string& step = steps[i];
    Json stepJson = {{"step", step}};
    PVR_ERROR result = PVR_ERROR_NO_ERROR;
    std::string description;
    if (step == "add") {
      Timer timer;
      timer.title = steps[i + 1];
      timer.clientChannelUid = static_cast<int>(std::stoul(steps[i + 2]));
      time_t now = time(nullptr);
      timer.startTime = now - now % 3600 + 3600;
      timer.endTime = timer.startTime + 3600;
      timer.state = PVR_TIMER_STATE_SCHEDULED;
      result = context.host.AddTimer(timer);
      stepJson["timer"] = ToJson(timer);
      description = "add \"" + timer.title + "\" on channel " + steps[i + 2];
      i += 2;
    } else if (step == "delete" || step == "update") {
      unsigned int index = static_cast<unsigned int>(std::stoul(steps[i + 1]));
      std::vector<Timer> stored;
      context.host.GetTimers(stored);
      Timer timer;
      timer.clientIndex = index;
      for (const Timer& candidate : stored) {
        if (candidate.clientIndex == index) {
          timer = candidate;
          break;
        }
      }
      if (step == "delete") {
        result = context.host.DeleteTimer(timer, false);
        description = "delete timer " + std::to_string(index);
        i += 1;
      } else {
        timer.title = steps[i + 2];
        result = context.host.UpdateTimer(timer);
        description = "update timer " + std::to_string(index) + " to \"" + timer.title + "\"";
        i += 2;
      }
      stepJson["timer"] = ToJson(timer);
    } else {
      std::vector<Timer> timers;
      result = context.host.GetTimers(timers);
      int amount = context.host.GetTimersAmount();
      stepJson["amount"] = amount;
      stepJson["timers"] = ToJsonList(timers);
      if (!context.options.json) {
        PrintTimers(context, timers);
        context.out << timers.size() << " timers (the add-on counts " << amount << ")\n";
      }
      description = "list";
    }
    stepJson["result"] = Result(result);
    stepsJson.push_back(stepJson);
    if (!context.options.json && step != "list")
      context.out << description << ": " << PvrErrorName(result) << "\n";
    exit = std::max(exit, Answer(context, step.c_str(), result));
  }
  if (context.options.json)
    context.document["steps"] = stepsJson;
  return exit;
}

int Signal(Context& context) {
  SignalStatus status;
  PVR_ERROR result = context.host.GetSignalStatus(status);
  if (context.options.json) {
    context.document["result"] = Result(result);
    context.document["signal"] = {{"adapterName", status.adapterName},
                                  {"adapterStatus", status.adapterStatus},
                                  {"serviceName", status.serviceName},
                                  {"providerName", status.providerName},
                                  {"muxName", status.muxName},
                                  {"snr", status.snr},
                                  {"signal", status.signal},
                                  {"ber", status.ber},
                                  {"unc", status.unc}};
  } else {
    TextTable table({"ITEM", "VALUE"});
    table.Add({"adapter", status.adapterName});
    table.Add({"status", status.adapterStatus});
    table.Add({"service", status.serviceName});
    table.Add({"provider", status.providerName});
    table.Add(
        {"signal", std::to_string(status.signal) + " (SNR " + std::to_string(status.snr) + ")"});
    table.Print(context.out);
  }
  return Answer(context, "SignalStatus", result);
}

int Session(Context& context) {
  using Clock = std::chrono::steady_clock;
  const DriverOptions& options = context.options;
  StandInHost& host = context.host;
  bool json = options.json;
  Clock::time_point deadline = Clock::now() + std::chrono::seconds(options.duration);

  std::vector<Channel> all;
  std::vector<Channel> radio;
  if (!AllChannels(context, all, radio))
    return kExitCallFailed;
  std::map<unsigned int, Channel> byUid;
  for (const Channel& channel : all)
    byUid[channel.uid] = channel;
  if (!json)
    context.out << "channels: " << all.size() - radio.size() << " TV, " << radio.size()
                << " radio\n";

  Json groupsJson = Json::array();
  for (bool groupRadio : {false, true}) {
    std::vector<ChannelGroup> groups;
    host.GetChannelGroups(groupRadio, groups);
    for (const ChannelGroup& group : groups) {
      std::vector<GroupMember> members;
      PVR_ERROR result = host.GetChannelGroupMembers(group, members);
      groupsJson.push_back({{"name", group.name},
                            {"radio", group.isRadio},
                            {"members", members.size()},
                            {"result", Result(result)}});
      if (!json)
        context.out << "group \"" << group.name << "\"" << (group.isRadio ? " (radio)" : "") << ": "
                    << members.size() << " members\n";
    }
  }

  auto askGuide = [&](const Channel& channel, Json& list) {
    time_t start = WindowStart(options);
    time_t end = start + options.hours * 3600;
    std::vector<EpgEntry> entries;
    PVR_ERROR result = host.GetEpg(channel, start, end, entries);
    list.push_back(
        {{"channel", channel.uid}, {"entries", entries.size()}, {"result", Result(result)}});
    if (!json)
      context.out << "guide of " << channel.uid << " " << channel.name << ": " << entries.size()
                  << " entries (" << PvrErrorName(result) << ")\n";
  };
  Json guideJson = Json::array();
  for (const Channel& channel : all)
    askGuide(channel, guideJson);

  // Answer the add-on's guide refresh requests until the time is up or enough were answered.
  Json triggersJson = Json::array();
  long answered = 0;
  long unknown = 0;
  while (options.triggers == 0 || answered < options.triggers) {
    Clock::time_point now = Clock::now();
    if (now >= deadline)
      break;
    auto bound = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
    std::optional<Trigger> trigger = host.TakeTrigger(TriggerKind::EpgUpdate, bound);
    if (!trigger)
      break;
    auto channel = byUid.find(trigger->channelUid);
    if (channel == byUid.end()) {
      ++unknown;
      context.err << "guide refresh requested for the unknown channel " << trigger->channelUid
                  << "\n";
      continue;
    }
    if (!json)
      context.out << "refresh requested: ";
    askGuide(channel->second, triggersJson);
    ++answered;
  }

  size_t otherTriggers = 0;
  for (const Trigger& trigger : host.Triggers())
    otherTriggers += trigger.kind != TriggerKind::EpgUpdate ? 1 : 0;
  int exit = kExitSuccess;
  if (options.triggers != 0 && answered < options.triggers) {
    context.err << "only " << answered << " of " << options.triggers
                << " guide refresh triggers arrived within " << options.duration << " s\n";
    exit = kExitCallFailed;
  }
  if (json) {
    context.document["channels"] = {{"tv", all.size() - radio.size()}, {"radio", radio.size()}};
    context.document["groups"] = groupsJson;
    context.document["guide"] = guideJson;
    context.document["refreshes"] = triggersJson;
    context.document["unknownChannelTriggers"] = unknown;
    context.document["otherTriggers"] = otherTriggers;
  } else {
    context.out << "answered " << answered << " guide refresh triggers";
    if (unknown > 0)
      context.out << ", " << unknown << " for unknown channels";
    context.out << "; " << otherTriggers << " other triggers\n";
  }
  return exit;
}

}  // namespace

int RunDriver(const DriverOptions& options, std::ostream& out, std::ostream& err) {
  HostOptions hostOptions;
  hostOptions.addonFolder = options.addonFolder;
  hostOptions.userPath = options.userPath;
  hostOptions.hostBase = options.hostBase;
  hostOptions.logPath = options.logPath;
  LoadFailure failure;
  StandInHostPtr host = StandInHost::Load(hostOptions, failure);
  if (!host) {
    err << "nivotv-host: " << failure.message << "\n";
    if (options.json) {
      Json doc = {{"command", options.command},
                  {"error", failure.message},
                  {"createCalled", failure.createCalled}};
      if (failure.createCalled)
        doc["createStatus"] = {{"value", failure.createStatus},
                               {"name", AddonStatusName(failure.createStatus)}};
      out << doc.dump(2) << "\n";
    }
    return kExitLoadFailed;
  }
  err << "host log: " << host->LogPath() << "\n";

  Context context{options, *host, out, err, Json::object()};
  context.document["command"] = options.command;
  context.document["userPath"] = host->UserPath();
  context.document["log"] = host->LogPath();
  int exit = kExitSuccess;
  const std::string& command = options.command;
  if (command == "status")
    exit = Status(context);
  else if (command == "channels")
    exit = Channels(context);
  else if (command == "groups")
    exit = Groups(context);
  else if (command == "members")
    exit = Members(context);
  else if (command == "guide")
    exit = Guide(context);
  else if (command == "timers")
    exit = Timers(context);
  else if (command == "signal")
    exit = Signal(context);
  else if (command == "session")
    exit = Session(context);

  // Destroy before reporting, so that problems found at the end are counted.
  host->Destroy();
  size_t hostErrors = host->HostErrors();
  if (options.json) {
    context.document["hostErrors"] = hostErrors;
    out << context.document.dump(2) << "\n";
  }
  if (hostErrors > 0)
    err << "nivotv-host: " << hostErrors << " problems with the add-on's conduct; see "
        << host->LogPath() << "\n";
  return exit;
}

}  // namespace host
}  // namespace zu

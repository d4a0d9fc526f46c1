#include "host/driver/Driver.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "host/StandInHost.h"
#include "host/driver/DriverContext.h"
#include "host/driver/TextTable.h"

namespace zu {
namespace host {
namespace {

using Context = DriverContext;

}  // namespace

int Answer(DriverContext& context, const char* call, int result) {
  if (result == PVR_ERROR_NO_ERROR)
    return kExitSuccess;
  context.err << call << " answered " << result << " (" << PvrErrorName(result) << ")\n";
  return kExitCallFailed;
}

namespace {

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

}  // namespace

bool AllChannels(DriverContext& context, std::vector<Channel>& all, std::vector<Channel>& radio) {
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

namespace {

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

}  // namespace

int RunDriver(const DriverOptions& options, std::ostream& out, std::ostream& err) {
  HostOptions hostOptions;
  hostOptions.addonFolder = options.addonFolder;
  hostOptions.userPath = options.userPath;
  hostOptions.hostBase = options.hostBase;
  hostOptions.logPath = options.logPath;
  // A session shows the add-on's errors and notifications in its own flow; they still reach
  // the log.
  const bool session = options.command == "session";
  hostOptions.echoToStandardError = !session;
  if (session && !options.json)
    out << "\n== Starting the add-on\n" << std::flush;
  const auto started = std::chrono::steady_clock::now();
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
  // A readable session prints the log path among its first lines.
  if (!session || options.json)
    err << "host log: " << host->LogPath() << "\n";

  Context context{options, *host, out, err, Json::object(), started, 0, false};
  context.loadSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
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
    exit = RunSession(context);

  // Destroy before reporting, so that problems found at the end are counted.
  if (!context.destroyed)
    host->Destroy();
  size_t hostErrors = host->HostErrors();
  context.document["hostErrors"] = hostErrors;
  if (options.json)
    out << context.document.dump(2) << "\n";
  if (!options.jsonOut.empty()) {
    std::ofstream file(options.jsonOut, std::ios::trunc);
    file << context.document.dump(2) << "\n";
    if (!file.flush()) {
      err << "nivotv-host: cannot write " << options.jsonOut << "\n";
      exit = std::max(exit, static_cast<int>(kExitCallFailed));
    }
  }
  if (hostErrors > 0)
    err << "nivotv-host: " << hostErrors << " problems with the add-on's conduct; see "
        << host->LogPath() << "\n";
  return exit;
}

}  // namespace host
}  // namespace zu

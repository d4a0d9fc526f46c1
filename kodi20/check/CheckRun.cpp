#include "kodi20/check/CheckRun.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include "kodi20/check/KodiView.h"
#include "kodi20/check/Picture.h"

namespace zu {
namespace kodi20 {
namespace check {

namespace fs = std::filesystem;

namespace {

// Kodi's window id of the TV guide.
const int kTvGuideWindow = 10702;
// How far ahead of now the guide must be complete.
const std::int64_t kGuideCheckSpan = 6 * 3600;
// Kodi's window id of full-screen video.
const int kFullscreenVideoWindow = 12005;
// The part of the 1280x720 screen where full-screen video shows and nothing else does: the
// middle half of its height. Kodi's notifications come in above it, its player bars below.
const ScreenArea kVideoArea = {0, 180, 1280, 360};
// A step in a colour that video coding noise does not make.
const int kPixelTolerance = 48;
// Between two screenshots of a played channel.
const std::chrono::seconds kPictureGap(3);

std::string Seconds(std::chrono::milliseconds bound) {
  return std::to_string(bound.count() / 1000) + " s";
}

// The first few differences, and how many there are.
std::string Summary(const std::vector<std::string>& differences) {
  std::string text;
  for (size_t i = 0; i < differences.size() && i < 5; ++i)
    text += (i == 0 ? "" : "; ") + differences[i];
  if (differences.size() > 5)
    text += "; and " + std::to_string(differences.size() - 5) + " more";
  return text;
}

// The first line of the file that holds text; empty when none does.
std::string LineHolding(const std::string& path, const std::string& text) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.find(text) != std::string::npos)
      return line;
  }
  return std::string();
}

std::string Fixed(double value) {
  std::ostringstream text;
  text.setf(std::ios::fixed);
  text.precision(1);
  text << value;
  return text.str();
}

}  // namespace

CheckRun::CheckRun(Options options, ProviderSource& provider)
    : options_(std::move(options)),
      provider_(provider),
      // Kodi hands the add-on paths below HOME as they are, so HOME must be absolute.
      home_(fs::absolute(options_.outputDirectory).lexically_normal().string() + "/home") {}

void CheckRun::Fail(const std::string& text) {
  result_.failures.push_back(text);
  std::cout << "kodi20-check: FAIL " << text << std::endl;
}

void CheckRun::Note(const std::string& text) {
  std::cout << "kodi20-check: " << text << std::endl;
}

CheckRun::Result CheckRun::Run() {
  std::error_code code;
  fs::remove_all(options_.outputDirectory, code);
  fs::create_directories(options_.outputDirectory, code);
  if (code) {
    Fail("cannot create " + options_.outputDirectory + ": " + code.message());
    return result_;
  }
  port_ = FreeLoopbackPort();
  std::string error;
  // Every other PVR add-on Kodi comes with stays off, and quietly so.
  std::vector<std::string> others = SystemPvrAddons();
  others.erase(std::remove(others.begin(), others.end(), options_.addonId), others.end());
  if (port_ == 0 || !home_.Prepare(port_, {options_.addonId}, others, error) ||
      (!options_.addonDirectory.empty() &&
       !home_.InstallAddon(options_.addonDirectory, options_.addonId, error)) ||
      (!options_.addonSettings.empty() &&
       !home_.WriteAddonSettings(options_.addonId, options_.addonSettings, error))) {
    Fail("cannot prepare the Kodi home: " + (port_ == 0 ? "no free port" : error));
    WriteResult();
    return result_;
  }
  Note("Kodi home " + home_.Directory() + ", JSON-RPC on port " + std::to_string(port_) +
       ", add-on " + options_.addonId);
  VirtualDisplay display;
  if (!display.Start(options_.outputDirectory + "/xvfb.log", std::chrono::seconds(30), error)) {
    Fail(error);
    WriteResult();
    return result_;
  }
  Note("virtual display " + display.Name());
  Session(display, true);
  if (options_.offlineRestart && result_.failures.empty()) {
    provider_.Stop();
    if (!home_.ForgetPvrDatabases(error))
      Fail(error);
    else
      Session(display, false);
  }
  display.Stop();
  WriteResult();
  return result_;
}

void CheckRun::Session(VirtualDisplay& display, bool online) {
  const std::string suffix = online ? "" : "-offline";
  Note(online ? "starting Kodi" : "restarting Kodi with the provider stopped");
  KodiSession kodi;
  KodiSession::Options options;
  options.binary = options_.kodiBinary;
  options.home = home_.Directory();
  options.display = display.Name();
  options.webServerPort = port_;
  options.outputPath = options_.outputDirectory + "/kodi-output" + suffix + ".txt";
  options.environment = options_.environment;
  std::string error;
  if (!kodi.Start(options, error) || !kodi.WaitReady(options_.readyBound, error)) {
    Fail(error);
  } else {
    Note("JSON-RPC answers after " + Fixed(kodi.Elapsed()) + " s");
    CheckChannels(kodi, online);
    if (!kodiChannels_.empty()) {
      // The last channel's guide first: its arrival time is a measurement, which other
      // checks must not delay.
      if (WaitForLastGuide(kodi, online))
        CheckGuide(kodi);
      CheckGroups(kodi);
      if (options_.screenshot)
        TakeScreenshot(kodi, "tvguide" + suffix + ".png");
      if (options_.play && online)
        Play(kodi);
    }
    if (!kodi.Quit(options_.quitBound, error))
      Fail(error);
    else
      Note("Kodi quit cleanly");
  }
  if (online)
    result_.peakResidentKb = kodi.PeakResidentKb();
  std::string log = options_.outputDirectory + "/kodi" + suffix + ".log";
  std::error_code code;
  fs::copy_file(home_.LogPath(), log, fs::copy_options::overwrite_existing, code);
  if (!code)
    result_.artifacts.push_back(log);
}

int CheckRun::KodiChannelId(const std::string& name) const {
  for (const auto& entry : kodiChannels_) {
    if (entry.first == name)
      return entry.second;
  }
  return 0;
}

void CheckRun::CheckChannels(KodiSession& kodi, bool online) {
  const Lineup& lineup = provider_.GetLineup();
  std::vector<KodiChannel> tv;
  std::vector<KodiChannel> radio;
  std::string state;
  bool listed = WaitFor(
      options_.channelBound, std::chrono::milliseconds(250),
      [&](std::string& now) {
        if (!ReadChannels(kodi.Rpc(), false, tv, now) ||
            !ReadChannels(kodi.Rpc(), true, radio, now))
          return false;
        std::vector<std::string> differences = CompareChannels(lineup, false, tv);
        std::vector<std::string> radioDifferences = CompareChannels(lineup, true, radio);
        differences.insert(differences.end(), radioDifferences.begin(), radioDifferences.end());
        now = std::to_string(tv.size()) + " TV and " + std::to_string(radio.size()) +
              " radio channels listed: " + Summary(differences);
        return differences.empty();
      },
      state);
  kodiChannels_.clear();
  if (!listed) {
    Fail("the channels were not all listed within " + Seconds(options_.channelBound) + ": " +
         state);
    return;
  }
  for (const KodiChannel& channel : tv)
    kodiChannels_.emplace_back(channel.name, channel.id);
  for (const KodiChannel& channel : radio)
    kodiChannels_.emplace_back(channel.name, channel.id);
  if (online)
    result_.secondsToChannels = kodi.Elapsed();
  Note("all " + std::to_string(tv.size()) + " TV and " + std::to_string(radio.size()) +
       " radio channels listed with their numbers and names after " + Fixed(kodi.Elapsed()) + " s");
}

void CheckRun::CheckGroups(KodiSession& kodi) {
  const Lineup& lineup = provider_.GetLineup();
  std::string state;
  size_t groupCount = 0;
  bool equal = WaitFor(
      options_.checkBound, std::chrono::milliseconds(500),
      [&](std::string& now) {
        std::vector<std::string> differences;
        groupCount = 0;
        for (bool radio : {false, true}) {
          std::vector<KodiGroup> groups;
          if (!ReadGroups(kodi.Rpc(), radio, groups, now))
            return false;
          std::vector<std::string> names = CompareGroupNames(lineup, radio, groups);
          differences.insert(differences.end(), names.begin(), names.end());
          for (const KodiGroup& group : groups) {
            std::vector<KodiChannel> members;
            if (!ReadGroupMembers(kodi.Rpc(), group.id, members, now))
              return false;
            std::vector<std::string> memberDifferences =
                CompareGroupMembers(lineup, group.name, radio, members);
            differences.insert(differences.end(), memberDifferences.begin(),
                               memberDifferences.end());
          }
          groupCount += groups.size();
        }
        now = Summary(differences);
        return differences.empty();
      },
      state);
  if (!equal) {
    Fail("the channel groups differ after " + Seconds(options_.checkBound) + ": " + state);
    return;
  }
  Note("all " + std::to_string(groupCount) + " groups listed with their members");
}

bool CheckRun::WaitForLastGuide(KodiSession& kodi, bool online) {
  std::vector<const LineupChannel*> tv = provider_.GetLineup().Channels(false);
  if (tv.empty())
    return false;
  // Kodi fetches the guides in channel order, so the last channel's comes last.
  const LineupChannel& last = *tv.back();
  int lastId = KodiChannelId(last.name);
  std::string state;
  bool arrived = WaitFor(
      options_.guideBound, std::chrono::milliseconds(250),
      [&](std::string& now) {
        std::vector<KodiBroadcast> broadcasts;
        if (!ReadBroadcasts(kodi.Rpc(), lastId, broadcasts, now))
          return false;
        now = "no broadcasts";
        return !broadcasts.empty();
      },
      state);
  if (!arrived) {
    Fail("the guide of the last channel \"" + last.name + "\" did not arrive within " +
         Seconds(options_.guideBound) + ": " + state);
    return false;
  }
  if (online)
    result_.secondsToLastGuide = kodi.Elapsed();
  Note("the guide of the last channel \"" + last.name + "\" arrived after " +
       Fixed(kodi.Elapsed()) + " s");
  return true;
}

void CheckRun::CheckGuide(KodiSession& kodi) {
  std::vector<const LineupChannel*> tv = provider_.GetLineup().Channels(false);
  std::vector<const LineupChannel*> samples = {tv.front(), tv[tv.size() / 2], tv.back()};
  std::string state;
  // One bound for all samples: Kodi fills the guides of all channels at once.
  const auto deadline = std::chrono::steady_clock::now() + options_.checkBound;
  for (const LineupChannel* channel : samples) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    int id = KodiChannelId(channel->name);
    std::vector<LineupShow> shows = provider_.ShowsOf(*channel);
    std::int64_t from = std::time(nullptr);
    bool equal = WaitFor(
        std::max(left, std::chrono::milliseconds(0)), std::chrono::milliseconds(500),
        [&](std::string& now) {
          std::vector<KodiBroadcast> broadcasts;
          if (!ReadBroadcasts(kodi.Rpc(), id, broadcasts, now))
            return false;
          std::vector<std::string> differences =
              CompareGuide(channel->name, shows, broadcasts, from, from + kGuideCheckSpan);
          now = std::to_string(broadcasts.size()) + " broadcasts: " + Summary(differences);
          return differences.empty();
        },
        state);
    if (!equal) {
      Fail("the guide of \"" + channel->name + "\" differs from the provider's: " + state);
    } else {
      Note("the guide of \"" + channel->name + "\" equals the provider's (" +
           state.substr(0, state.find(':')) + ")");
    }
  }
}

void CheckRun::TakeScreenshot(KodiSession& kodi, const std::string& name) {
  std::string error;
  if (!kodi.ShowWindow("tvguide", kTvGuideWindow, std::chrono::seconds(30), error)) {
    Fail(error);
    // What stood in the way is worth a picture too.
    std::string path = options_.outputDirectory + "/failed-" + name;
    std::string ignored;
    if (kodi.Screenshot(path, ignored))
      result_.artifacts.push_back(path);
    return;
  }
  // The grid fills in after the window opens; a few seconds let it draw before the picture.
  std::this_thread::sleep_for(std::chrono::seconds(5));
  std::string path = options_.outputDirectory + "/" + name;
  if (!kodi.Screenshot(path, error)) {
    Fail(error);
    return;
  }
  result_.artifacts.push_back(path);
  Note("screenshot of the TV guide: " + path);
}

void CheckRun::Play(KodiSession& kodi) {
  std::vector<const LineupChannel*> tv = provider_.GetLineup().Channels(false);
  if (tv.size() < 3) {
    Fail("playing needs three TV channels, the lineup has " + std::to_string(tv.size()));
    return;
  }
  // The second channel is opened while the first plays: Kodi switches over.
  if (!PlayChannel(kodi, *tv[0]) || !PlayChannel(kodi, *tv[1]))
    return;
  StopPlayers(kodi);
  if (!WaitForPlayers(kodi, false, "after Player.Stop"))
    return;
  Note("Player.Stop stopped the player");
  PlayRefused(kodi, *tv[2]);
}

bool CheckRun::PlayChannel(KodiSession& kodi, const LineupChannel& channel) {
  const std::string what = "playing \"" + channel.name + "\"";
  const std::string prefix = "channel-" + std::to_string(channel.number);
  std::string error;
  if (!OpenChannel(kodi, channel, error)) {
    Fail(what + ": " + error);
    return false;
  }
  Note(what + " requested " + channel.streamPath);
  bool playing = WaitForPlayers(kodi, true, what);
  if (playing &&
      !kodi.ShowWindow("fullscreenvideo", kFullscreenVideoWindow, options_.playBound, error)) {
    Fail(what + ": " + error);
    playing = false;
  }
  if (!playing) {
    // What stood in the way is worth a picture.
    Shoot(kodi, prefix + "-failed.png", nullptr, error);
    return false;
  }
  return CheckPicture(kodi, channel, what);
}

bool CheckRun::CheckPicture(KodiSession& kodi, const LineupChannel& channel,
                            const std::string& what) {
  const std::string prefix = "channel-" + std::to_string(channel.number) + "-";
  const std::size_t pixels = static_cast<std::size_t>(kVideoArea.width) * kVideoArea.height;
  const auto deadline = std::chrono::steady_clock::now() + options_.playBound;
  Picture previous;
  Picture current;
  bool previousShows = false;
  std::string state;
  for (int shot = 1;; ++shot) {
    auto taken = std::chrono::steady_clock::now();
    std::string error;
    std::string name = prefix + std::to_string(shot) + ".png";
    if (!Shoot(kodi, name, &current, error)) {
      Fail(what + ": " + error);
      return false;
    }
    bool shows = PixelsUnlikeFirst(current, kPixelTolerance) > pixels / 100;
    if (!shows) {
      state = "the video area of " + name + " is uniform";
    } else if (previousShows) {
      std::size_t changed = ChangedPixels(previous, current, kPixelTolerance);
      state = std::to_string(changed) + " of " + std::to_string(pixels) +
              " pixels of the video area changed from the screenshot before to " + name;
      // The pattern stands still but for its counter and colour band; a change of most of
      // the area is Kodi changing over to the video after the screenshot before.
      if (changed > pixels / 1000 && changed < pixels / 2) {
        Note(what + ": a video player shows a moving picture (" + state + ")");
        return true;
      }
    }
    if (taken + kPictureGap > deadline)
      break;
    previous = std::move(current);
    previousShows = shows;
    std::this_thread::sleep_until(taken + kPictureGap);
  }
  Fail(what + ": no two screenshots " + std::to_string(kPictureGap.count()) +
       " s apart show a moving picture within " + Seconds(options_.playBound) + "; last: " + state);
  return false;
}

void CheckRun::PlayRefused(KodiSession& kodi, const LineupChannel& channel) {
  const std::string what = "playing \"" + channel.name + "\", whose stream is refused";
  const std::string url = provider_.BaseUrl() + channel.streamPath;
  provider_.ServeStreams(false);
  std::string error;
  bool opened = OpenChannel(kodi, channel, error);
  std::string line;
  if (!opened) {
    Fail(what + ": " + error);
  } else if (!WaitFor(
                 options_.playBound, std::chrono::milliseconds(250),
                 [&](std::string& now) {
                   line = LineHolding(home_.LogPath(), url);
                   now = "Kodi's log does not name " + url;
                   return !line.empty();
                 },
                 error)) {
    Fail(what + ": " + error);
  } else if (WaitForPlayers(kodi, false, what)) {
    Note(what + ": no player, and Kodi's log says: " + line);
  }
  provider_.ServeStreams(true);
}

bool CheckRun::OpenChannel(KodiSession& kodi, const LineupChannel& channel, std::string& error) {
  nlohmann::json result;
  if (!kodi.Rpc().Call("Player.Open", {{"item", {{"channelid", KodiChannelId(channel.name)}}}},
                       result, error))
    return false;
  if (!provider_.WaitForRequest(channel.streamPath, options_.playBound)) {
    error = "no request of " + channel.streamPath + " within " + Seconds(options_.playBound);
    return false;
  }
  return true;
}

bool CheckRun::WaitForPlayers(KodiSession& kodi, bool video, const std::string& what) {
  std::string state;
  bool seen = WaitFor(
      options_.playBound, std::chrono::milliseconds(250),
      [&](std::string& now) {
        nlohmann::json players;
        if (!kodi.Rpc().Call("Player.GetActivePlayers", nullptr, players, now))
          return false;
        now = "the active players are " + players.dump();
        if (!video)
          return players.empty();
        for (const nlohmann::json& player : players) {
          if (player.is_object() && player.value("type", std::string()) == "video")
            return true;
        }
        return false;
      },
      state);
  if (!seen) {
    Fail(what + ": " + (video ? "no video player" : "a player is still active") + " after " +
         Seconds(options_.playBound) + ": " + state);
  }
  return seen;
}

void CheckRun::StopPlayers(KodiSession& kodi) {
  nlohmann::json players;
  nlohmann::json result;
  std::string error;
  if (kodi.Rpc().Call("Player.GetActivePlayers", nullptr, players, error) && players.is_array()) {
    for (const nlohmann::json& player : players)
      kodi.Rpc().Call("Player.Stop", {{"playerid", player.value("playerid", 0)}}, result, error);
  }
}

bool CheckRun::Shoot(KodiSession& kodi, const std::string& name, Picture* picture,
                     std::string& error) {
  std::string path = options_.outputDirectory + "/" + name;
  if (!kodi.Screenshot(path, error))
    return false;
  result_.artifacts.push_back(path);
  return picture == nullptr || ReadPicture(path, kVideoArea, *picture, error);
}

void CheckRun::WriteResult() const {
  nlohmann::json result = {
      {"addon", options_.addonId},
      {"channels", provider_.GetLineup().channels.size()},
      {"seconds_to_channels", result_.secondsToChannels},
      {"seconds_to_last_guide", result_.secondsToLastGuide},
      {"peak_resident_kib", result_.peakResidentKb},
      {"failures", result_.failures},
      {"artifacts", result_.artifacts},
  };
  std::ofstream out(options_.outputDirectory + "/result.json");
  out << result.dump(2) << "\n";
}

}  // namespace check
}  // namespace kodi20
}  // namespace zu

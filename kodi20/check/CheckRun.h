#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "kodi20/check/KodiHome.h"
#include "kodi20/check/KodiSession.h"
#include "kodi20/check/ProviderSource.h"

namespace zu {
namespace kodi20 {
namespace check {

struct Picture;

// One real-host run: a fresh Kodi home with one PVR add-on, Kodi under a virtual display, the
// checks of what Kodi lists against the lineup, the timings, and optionally a screenshot of
// the TV guide, played channels and a restart with the provider stopped. Every wait is
// bounded; every failed check is recorded and the run goes on where that makes sense.
class CheckRun {
 public:
  struct Options {
    std::string addonId;         // the PVR add-on under test
    std::string addonDirectory;  // copied into the home; empty: a system add-on
    Settings addonSettings;      // its settings.xml
    std::vector<std::pair<std::string, std::string>> environment;  // for Kodi
    std::string kodiBinary = "/usr/lib/x86_64-linux-gnu/kodi/kodi.bin";
    std::string outputDirectory;  // artifacts of this run; emptied first
    bool screenshot = false;
    bool play = false;
    bool offlineRestart = false;
    std::chrono::milliseconds readyBound{std::chrono::seconds(90)};
    std::chrono::milliseconds channelBound{std::chrono::seconds(120)};
    std::chrono::milliseconds guideBound{std::chrono::seconds(240)};
    std::chrono::milliseconds quitBound{std::chrono::seconds(60)};
    // For the groups and for the sampled guides (together), once the channels are there.
    std::chrono::milliseconds checkBound{std::chrono::seconds(60)};
    // For each step of playing a channel: the stream request, the player, the picture.
    std::chrono::milliseconds playBound{std::chrono::seconds(30)};
  };

  struct Result {
    std::vector<std::string> failures;
    double secondsToChannels = -1;   // start to every channel listed as expected
    double secondsToLastGuide = -1;  // start to the last TV channel's guide in Kodi
    long peakResidentKb = 0;         // Kodi's, over the first session
    std::vector<std::string> artifacts;
  };

  CheckRun(Options options, ProviderSource& provider);

  // Runs everything; the result tells what failed.
  Result Run();

 private:
  // One Kodi session; online false: the provider is stopped and only caches can serve.
  void Session(VirtualDisplay& display, bool online);
  void CheckChannels(KodiSession& kodi, bool online);
  void CheckGroups(KodiSession& kodi);
  // Waits for the last TV channel's guide; false (recorded) when it does not come.
  bool WaitForLastGuide(KodiSession& kodi, bool online);
  void CheckGuide(KodiSession& kodi);
  void TakeScreenshot(KodiSession& kodi, const std::string& name);
  // Plays the first TV channel, switches to the second, stops, then plays the third with its
  // stream refused by the provider.
  void Play(KodiSession& kodi);
  // Opens the channel and checks that its stream is requested, a video player starts in
  // full-screen video and the picture moves (CheckPicture). False (recorded) when something
  // fails.
  bool PlayChannel(KodiSession& kodi, const LineupChannel& channel);
  // Takes screenshots a few seconds apart until two in a row show a picture in the video
  // area that has moved in part; false (recorded) when none do within the bound.
  bool CheckPicture(KodiSession& kodi, const LineupChannel& channel, const std::string& what);
  // Opens the channel while the provider refuses streams and checks that Kodi's log names
  // the stream URL and no player stays.
  void PlayRefused(KodiSession& kodi, const LineupChannel& channel);
  // Player.Open of the channel, then waits for the request of its stream at the provider.
  bool OpenChannel(KodiSession& kodi, const LineupChannel& channel, std::string& error);
  // Waits until a video player is active (video) or none is (!video); false (recorded with
  // what) when that does not happen in time.
  bool WaitForPlayers(KodiSession& kodi, bool video, const std::string& what);
  void StopPlayers(KodiSession& kodi);
  // A screenshot in the output directory, kept as an artifact, and (unless picture is null)
  // the video area of it.
  bool Shoot(KodiSession& kodi, const std::string& name, Picture* picture, std::string& error);
  void Fail(const std::string& text);
  void Note(const std::string& text);
  int KodiChannelId(const std::string& name) const;
  void WriteResult() const;

  Options options_;
  ProviderSource& provider_;
  KodiHome home_;
  int port_ = 0;
  Result result_;
  std::vector<std::pair<std::string, int>> kodiChannels_;  // name -> Kodi's channel id
};

}  // namespace check
}  // namespace kodi20
}  // namespace zu

// kodi20-check: runs Kodi 20 under a virtual display with one PVR add-on and checks through
// JSON-RPC that it lists what the sample provider serves. Exit status 0 when every check passed,
// 1 when one failed, 2 for a usage error. See --help.

#include <cstdlib>
#include <iostream>
#include <string>

#include "kodi20/check/CheckRun.h"
#include "kodi20/check/ProviderSource.h"

namespace {

using zu::kodi20::check::CheckRun;
using zu::kodi20::check::ProviderSource;

const char kUsage[] =
    "usage: kodi20-check [options]\n"
    "  --addon ID          the PVR add-on under test: pvr.iptvsimple (default) or pvr.nivotv\n"
    "  --addon-dir DIR     install the add-on from DIR (addon.xml and library) into the home\n"
    "  --stations N        N generated TV stations instead of the sample catalogue\n"
    "  --radio N           N generated radio stations (for IPTV clients)\n"
    "  --out DIR           artifacts: logs, screenshots, result.json (default out/kodi20/run)\n"
    "  --screenshot        take a screenshot of the TV guide window\n"
    "  --play              play the first TV channel, then the second, stop, and play the\n"
    "                      third with its stream refused (needs --stream-file)\n"
    "  --stream-file FILE  the transport stream every stream URL serves in a loop\n"
    "  --offline-restart   then restart Kodi with the provider stopped and Kodi's own channel\n"
    "                      and guide databases removed, and check again\n"
    "  --kodi PATH         kodi.bin (default /usr/lib/x86_64-linux-gnu/kodi/kodi.bin)\n"
    "  --channel-bound S   seconds to wait for the channels (default 120)\n"
    "  --guide-bound S     seconds to wait for the last channel's guide (default 240)\n";

bool ParseCount(const std::string& text, std::size_t& value) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  value = static_cast<std::size_t>(std::atoi(text.c_str()));
  return true;
}

bool ParseSeconds(const std::string& text, std::chrono::milliseconds& value) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  value = std::chrono::seconds(std::atoi(text.c_str()));
  return value.count() > 0;
}

}  // namespace

int main(int argc, char** argv) {
  // The provider's wall-clock times, Kodi's and the add-on's all mean UTC then, whatever zone
  // the machine is in.
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  CheckRun::Options options;
  ProviderSource::Options providerOptions;
  options.addonId = "pvr.iptvsimple";
  options.outputDirectory = "out/kodi20/run";
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    bool hasValue = i + 1 < argc;
    std::string value = hasValue ? argv[i + 1] : "";
    bool ok = true;
    if (argument == "--help" || argument == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (argument == "--screenshot") {
      options.screenshot = true;
    } else if (argument == "--play") {
      options.play = true;
    } else if (argument == "--offline-restart") {
      options.offlineRestart = true;
    } else if (!hasValue) {
      ok = false;
    } else {
      ++i;
      if (argument == "--addon")
        options.addonId = value;
      else if (argument == "--addon-dir")
        options.addonDirectory = value;
      else if (argument == "--out")
        options.outputDirectory = value;
      else if (argument == "--stations")
        ok = ParseCount(value, providerOptions.stations);
      else if (argument == "--radio")
        ok = ParseCount(value, providerOptions.radio);
      else if (argument == "--stream-file")
        providerOptions.streamFile = value;
      else if (argument == "--kodi")
        options.kodiBinary = value;
      else if (argument == "--channel-bound")
        ok = ParseSeconds(value, options.channelBound);
      else if (argument == "--guide-bound")
        ok = ParseSeconds(value, options.guideBound);
      else
        ok = false;
    }
    if (!ok) {
      std::cerr << "kodi20-check: bad argument " << argument << "\n" << kUsage;
      return 2;
    }
  }

  if (options.play && providerOptions.streamFile.empty()) {
    std::cerr << "kodi20-check: --play needs --stream-file\n" << kUsage;
    return 2;
  }

  // The sample provider serves both add-ons: the NivoTV documents and the IPTV exports.
  if (options.addonId != "pvr.iptvsimple" && !options.addonDirectory.empty())
    providerOptions.radioPlaylist = options.addonDirectory + "/radio.m3u";
  providerOptions.logPath = options.outputDirectory + "-provider.log";
  ProviderSource provider(providerOptions);
  std::string error;
  if (!provider.Start(error)) {
    std::cerr << "kodi20-check: " << error << "\n";
    return 1;
  }
  // The add-on finds both of the provider's hosts through the environment.
  options.environment = {{"NIVOTV_SERVICE_HOST", provider.HostAndPort()},
                         {"NIVOTV_GUIDE_HOST", provider.HostAndPort()}};

  if (options.addonId == "pvr.iptvsimple") {
    // Remote playlist and guide, read afresh at every start (no copies kept by the client).
    options.addonSettings = {
        {"m3uPathType", "1"}, {"m3uUrl", provider.PlaylistUrl()}, {"m3uCache", "false"},
        {"epgPathType", "1"}, {"epgUrl", provider.XmltvUrl()},    {"epgCache", "false"},
        {"startNum", "1"},
    };
  }

  CheckRun run(options, provider);
  CheckRun::Result result = run.Run();
  provider.Stop();
  if (!result.failures.empty()) {
    std::cout << "kodi20-check: " << result.failures.size() << " check(s) failed (artifacts in "
              << options.outputDirectory << ")\n";
    return 1;
  }
  std::cout << "kodi20-check: all checks passed (artifacts in " << options.outputDirectory << ")\n";
  return 0;
}

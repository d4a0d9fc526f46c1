#pragma once

#include <chrono>
#include <cstddef>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "kodi20/check/Lineup.h"

namespace zu {
namespace provider {
class Guide;
class SampleProvider;
}  // namespace provider

namespace kodi20 {
namespace check {

// The sample provider, run inside the driver, as what the add-on under test is checked
// against: the NivoTV documents for our add-on and the M3U and XMLTV exports for an IPTV
// client, on one loopback port. The lineup holds the TV stations as the NivoTV add-on presents
// them and the radio channels of radioPlaylist (the add-on's shipped list) or, without one,
// the catalogue's radio stations.
class ProviderSource {
 public:
  struct Options {
    std::size_t stations = 0;   // generated TV stations; 0: the sample catalogue
    std::size_t radio = 0;      // generated radio stations (served and exported)
    std::string radioPlaylist;  // path of the add-on's radio.m3u; empty: the catalogue's
    std::string logPath;        // the provider's log lines; empty: standard error
    std::string streamFile;     // the transport stream every stream URL serves in a loop
  };

  explicit ProviderSource(Options options);
  ~ProviderSource();

  // Builds the catalogue and the lineup and starts serving on a free loopback port. False
  // with error set when the catalogue, the radio list or the port cannot be had.
  bool Start(std::string& error);
  // "127.0.0.1:PORT", the value of NIVOTV_SERVICE_HOST and NIVOTV_GUIDE_HOST.
  std::string HostAndPort() const;

  // What Kodi must end up listing.
  const Lineup& GetLineup() const { return lineup_; }
  // The guide of a TV channel of the lineup, from two days before now to four days after
  // (none for radio); still known after Stop.
  std::vector<LineupShow> ShowsOf(const LineupChannel& channel) const;
  // "http://127.0.0.1:PORT".
  std::string BaseUrl() const;
  // The URLs of the M3U playlist and the XMLTV guide for an IPTV client.
  std::string PlaylistUrl() const { return BaseUrl() + "/export/playlist.m3u"; }
  std::string XmltvUrl() const { return BaseUrl() + "/export/xmltv.xml?days=3&past=1"; }
  // Waits at most bound until a request for the path has arrived; true when one has.
  bool WaitForRequest(const std::string& path, std::chrono::milliseconds bound);
  // From now on every stream URL is answered 404 (false) or served again (true); streams
  // already under way go on.
  void ServeStreams(bool serve);
  // Stops serving: connections are refused from then on. Idempotent.
  void Stop();

 private:
  void Log(const std::string& line);

  Options options_;
  Lineup lineup_;
  std::unique_ptr<provider::SampleProvider> provider_;
  std::unique_ptr<provider::Guide> guide_;
  std::mutex logMutex_;
  std::ofstream log_;
};

// The channels of a radio playlist in the add-on's reading: a "##" line names the group of
// the entries after it, an "#EXTINF:" line's name is everything after its first comma and the
// next non-empty line is its URL; numbers run from 10000 in file order.
std::vector<LineupChannel> ReadRadioPlaylist(const std::string& text);

}  // namespace check
}  // namespace kodi20
}  // namespace zu

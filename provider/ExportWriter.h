#pragma once

#include <string>
#include <vector>

#include "provider/Catalogue.h"
#include "provider/CivilTime.h"
#include "provider/Guide.h"

namespace zu {
namespace provider {

// The catalogue in the forms generic IPTV clients read, so that such a client can be run on
// the same stations as the NivoTV add-on: an M3U playlist with player attributes and an XMLTV
// guide. Channels carry the numbers, names and groups the NivoTV add-on presents.
class ExportWriter {
 public:
  ExportWriter(const Catalogue& catalogue, const Guide& guide)
      : catalogue_(catalogue), guide_(guide) {}

  // "#EXTM3U", then for every station an "#EXTINF:-1" line with tvg-id (the UID), tvg-name,
  // tvg-chno (the number), group-title (StationGroups joined by ';') and tvg-logo, followed
  // by the station's stream URL; then the radio stations with radio="true", numbered from
  // 10000 in list order. baseUrl is the provider's own address without a trailing slash.
  std::string Playlist(const std::string& baseUrl) const;
  // An XMLTV document: every station as a channel (id = UID), then the shows that share time
  // with [from, to) in station order, with title and sub-title as plain text, type and genre
  // as categories, and times with the machine's UTC offset at each time.
  std::string Xmltv(const std::string& baseUrl, CivilSeconds from, CivilSeconds to) const;

 private:
  const Catalogue& catalogue_;
  const Guide& guide_;
};

// The groups the NivoTV add-on files a station under, in ascending byte order: its channel
// group, flags and products, and the names of the playlists listing it ("Nivo TV" for the
// free-to-air list, "Nivo TV Plus" for the Plus list, "All" always).
std::vector<std::string> StationGroups(const Station& station);
// A delivered text with the references the service uses (&amp; &lt; &gt; &quot; &apos; and
// decimal &#N;) turned into the characters they stand for (UTF-8). Anything else stays.
std::string PlainText(const std::string& delivered);
// "YYYYMMDDHHMMSS +HHMM" of a wall-clock time, with the offset the machine's zone has then.
std::string XmltvTime(CivilSeconds time);

}  // namespace provider
}  // namespace zu

#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace zu {
namespace provider {

// The kind of programme a station broadcasts; it shapes the station's daily schedule.
enum class Profile {
  kGeneral,
  kNews,
  kSport,
  kKids,
  kFilm,
  kDocumentary,
  kSeries,
  kMusic,
  kRegional,
  kCulture,
};

const char* ProfileName(Profile profile);
bool ParseProfile(const std::string& name, Profile& profile);

struct Station {
  std::uint32_t uid = 0;
  std::uint32_t number = 0;
  std::string name;                   // DisplayName, and the title in every playlist, byte for byte
  std::string channelGroup;           // element 0 of "Channel"
  std::vector<std::string> flags;     // "Flags"
  std::vector<std::string> products;  // "Products"
  std::string logoFile;               // file name below /logo/60x30/ and /station/128x64/
  std::uint32_t colour = 0x336699;    // logo colour 0xRRGGBB
  Profile profile = Profile::kGeneral;
  bool inFta = false;         // listed in the free-to-air playlist
  bool inPlus = false;        // listed in the Plus playlist ("All" lists every station)
  std::string playlistGroup;  // the "##" group the station is listed under
};

// A playlist entry that names no station of the list (the reader must ignore it).
struct PlaylistOnlyEntry {
  std::string name;
  std::string group;
  bool inFta = false;
  bool inPlus = false;
  bool inAll = false;
};

struct RadioStation {
  std::string name;
  std::string group;
};

// The stations the provider serves, read from a catalogue file or generated. Immutable once
// built; the position of a station (its ordinal, counted from 1) is part of the show ids.
class Catalogue {
 public:
  // Ids hold the ordinal in 11 bits.
  static constexpr std::size_t kMaxStations = 2047;

  // Reads DIRECTORY/catalogue.json. On failure returns false, leaves out untouched and names
  // the offending entry in error.
  static bool Load(const std::string& directory, Catalogue& out, std::string& error);
  // Parses catalogue text (the content of catalogue.json).
  static bool Parse(const std::string& text, Catalogue& out, std::string& error);
  // A catalogue of `stations` invented TV stations spread over the FTA and Plus playlists and
  // `radio` radio stations; false when stations exceeds kMaxStations.
  static bool Generate(std::size_t stations, std::size_t radio, Catalogue& out, std::string& error);
  // Replaces the radio list by `count` invented radio stations in four groups.
  bool GenerateRadio(std::size_t count, std::string& error);
  // The sample catalogue directory of the source tree this library was built from.
  static std::string SourceDirectory();

  const std::vector<Station>& Stations() const { return stations_; }
  const std::vector<PlaylistOnlyEntry>& PlaylistOnly() const { return playlistOnly_; }
  const std::vector<RadioStation>& Radio() const { return radio_; }

  // Null when there is no such station.
  const Station* FindByUid(std::uint32_t uid) const;
  const Station* FindByLogo(const std::string& file) const;
  const Station* ByOrdinal(std::size_t ordinal) const;
  std::size_t OrdinalOf(const Station& station) const;

 private:
  bool Index(std::string& error);

  std::vector<Station> stations_;
  std::vector<PlaylistOnlyEntry> playlistOnly_;
  std::vector<RadioStation> radio_;
  std::map<std::uint32_t, std::size_t> byUid_;
  std::map<std::string, std::size_t> byLogo_;
};

}  // namespace provider
}  // namespace zu

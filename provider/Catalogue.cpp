#include "provider/Catalogue.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

#ifndef ZU_PROVIDER_SOURCE_CATALOGUE
#define ZU_PROVIDER_SOURCE_CATALOGUE "data/sample-provider"
#endif

namespace zu {
namespace provider {
namespace {

struct NamedProfile {
  Profile profile;
  const char* name;
  const char* word;   // used in generated station names
  const char* group;  // channel group of generated stations
};
const NamedProfile kProfiles[] = {
    {Profile::kGeneral, "general", "Kanal", "Vollprogramme"},
    {Profile::kNews, "news", "Nachrichten", "Nachrichten"},
    {Profile::kSport, "sport", "Sport", "Sport"},
    {Profile::kKids, "kids", "Kinder", "Kinder"},
    {Profile::kFilm, "film", "Kino", "Film"},
    {Profile::kDocumentary, "documentary", "Doku", "Dokumentation"},
    {Profile::kSeries, "series", "Serien", "Serien"},
    {Profile::kMusic, "music", "Musik", "Musik"},
    {Profile::kRegional, "regional", "Regional", "Regional"},
    {Profile::kCulture, "culture", "Kultur", "Kultur"},
};

using Json = nlohmann::json;

bool IsSafeLogoName(const std::string& name) {
  if (name.size() < 5 || name.size() > 100 || name.compare(name.size() - 4, 4, ".png") != 0 ||
      name[0] == '.') {
    return false;
  }
  for (char c : name) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '-' || c == '_' || c == '.';
    if (!ok) {
      return false;
    }
  }
  return true;
}

// Station names become M3U titles: they must fit on one line and survive the title split.
bool IsUsableName(const std::string& name) {
  if (name.empty() || name.size() > 200 || name.front() == ' ' || name.back() == ' ') {
    return false;
  }
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F) {
      return false;
    }
  }
  return true;
}

bool ParseColour(const std::string& text, std::uint32_t& colour) {
  if (text.size() != 7 || text[0] != '#') {
    return false;
  }
  std::uint32_t value = 0;
  for (std::size_t i = 1; i < 7; ++i) {
    char c = text[i];
    int digit = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : -1;
    if (digit < 0) {
      return false;
    }
    value = value * 16 + static_cast<std::uint32_t>(digit);
  }
  colour = value;
  return true;
}

std::vector<std::string> StringArray(const Json& value, const std::string& what) {
  if (!value.is_array()) {
    throw std::runtime_error(what + " must be an array of strings");
  }
  std::vector<std::string> result;
  for (const Json& item : value) {
    if (!item.is_string() || item.get<std::string>().empty()) {
      throw std::runtime_error(what + " must hold non-empty strings");
    }
    result.push_back(item.get<std::string>());
  }
  return result;
}

const Json& Member(const Json& object, const char* name, const std::string& where) {
  auto it = object.find(name);
  if (it == object.end()) {
    throw std::runtime_error(where + " lacks \"" + name + "\"");
  }
  return *it;
}

std::string StringMember(const Json& object, const char* name, const std::string& where) {
  const Json& value = Member(object, name, where);
  if (!value.is_string() || value.get<std::string>().empty()) {
    throw std::runtime_error(where + ": \"" + name + "\" must be a non-empty string");
  }
  return value.get<std::string>();
}

std::uint32_t UidMember(const Json& object, const char* name, const std::string& where) {
  const Json& value = Member(object, name, where);
  if (!value.is_number_unsigned() || value.get<std::uint64_t>() == 0 ||
      value.get<std::uint64_t>() > 0xFFFFFFFFull) {
    throw std::runtime_error(where + ": \"" + name + "\" must be an integer in 1..4294967295");
  }
  return static_cast<std::uint32_t>(value.get<std::uint64_t>());
}

void ReadPlaylists(const Json& value, const std::string& where, bool& fta, bool& plus, bool& all) {
  fta = plus = all = false;
  for (const std::string& name : StringArray(value, where + ": \"playlists\"")) {
    if (name == "fta") {
      fta = true;
    } else if (name == "plus") {
      plus = true;
    } else if (name == "all") {
      all = true;
    } else {
      throw std::runtime_error(where + ": unknown playlist '" + name + "' (fta, plus, all)");
    }
  }
}

std::string Describe(std::size_t index, const Json& entry) {
  std::string where = "station #" + std::to_string(index + 1);
  auto name = entry.find("name");
  if (name != entry.end() && name->is_string()) {
    where += " ('" + name->get<std::string>() + "')";
  }
  return where;
}

}  // namespace

const char* ProfileName(Profile profile) {
  for (const NamedProfile& entry : kProfiles) {
    if (entry.profile == profile) {
      return entry.name;
    }
  }
  return "general";
}

bool ParseProfile(const std::string& name, Profile& profile) {
  for (const NamedProfile& entry : kProfiles) {
    if (name == entry.name) {
      profile = entry.profile;
      return true;
    }
  }
  return false;
}

bool Catalogue::Load(const std::string& directory, Catalogue& out, std::string& error) {
  std::string path = directory + "/catalogue.json";
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = "cannot open catalogue '" + path + "'";
    return false;
  }
  std::stringstream text;
  text << file.rdbuf();
  if (!Parse(text.str(), out, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

bool Catalogue::Parse(const std::string& text, Catalogue& out, std::string& error) {
  Catalogue catalogue;
  try {
    Json root = Json::parse(text);
    if (!root.is_object()) {
      throw std::runtime_error("the catalogue must be a JSON object");
    }
    const Json& stations = Member(root, "stations", "the catalogue");
    if (!stations.is_array() || stations.empty()) {
      throw std::runtime_error("\"stations\" must be a non-empty array");
    }
    for (std::size_t i = 0; i < stations.size(); ++i) {
      const Json& entry = stations[i];
      std::string where = Describe(i, entry);
      if (!entry.is_object()) {
        throw std::runtime_error(where + " must be an object");
      }
      Station station;
      station.uid = UidMember(entry, "uid", where);
      station.number = UidMember(entry, "number", where);
      station.name = StringMember(entry, "name", where);
      if (!IsUsableName(station.name)) {
        throw std::runtime_error(where + ": the name must be one line without outer spaces");
      }
      station.channelGroup = StringMember(entry, "channel", where);
      station.flags = StringArray(Member(entry, "flags", where), where + ": \"flags\"");
      station.products = StringArray(Member(entry, "products", where), where + ": \"products\"");
      station.logoFile = StringMember(entry, "logo", where);
      if (!IsSafeLogoName(station.logoFile)) {
        throw std::runtime_error(where + ": logo '" + station.logoFile +
                                 "' must be a plain file name ending in .png");
      }
      if (!ParseColour(StringMember(entry, "colour", where), station.colour)) {
        throw std::runtime_error(where + ": \"colour\" must look like #1a2b3c");
      }
      std::string profile = StringMember(entry, "profile", where);
      if (!ParseProfile(profile, station.profile)) {
        throw std::runtime_error(where + ": unknown profile '" + profile + "'");
      }
      bool all = false;
      ReadPlaylists(Member(entry, "playlists", where), where, station.inFta, station.inPlus, all);
      station.playlistGroup =
          entry.contains("group") ? StringMember(entry, "group", where) : station.channelGroup;
      catalogue.stations_.push_back(station);
    }
    if (root.contains("playlistOnly")) {
      const Json& extras = root["playlistOnly"];
      if (!extras.is_array()) {
        throw std::runtime_error("\"playlistOnly\" must be an array");
      }
      for (std::size_t i = 0; i < extras.size(); ++i) {
        std::string where = "playlist-only entry #" + std::to_string(i + 1);
        if (!extras[i].is_object()) {
          throw std::runtime_error(where + " must be an object");
        }
        PlaylistOnlyEntry extra;
        extra.name = StringMember(extras[i], "name", where);
        if (!IsUsableName(extra.name)) {
          throw std::runtime_error(where + ": the name must be one line without outer spaces");
        }
        extra.group = StringMember(extras[i], "group", where);
        ReadPlaylists(Member(extras[i], "playlists", where), where, extra.inFta, extra.inPlus,
                      extra.inAll);
        catalogue.playlistOnly_.push_back(extra);
      }
    }
  } catch (const std::exception& e) {
    error = e.what();
    return false;
  }
  if (!catalogue.Index(error)) {
    return false;
  }
  out = std::move(catalogue);
  return true;
}

bool Catalogue::Generate(std::size_t stations, std::size_t radio, Catalogue& out,
                         std::string& error) {
  if (stations == 0 || stations > kMaxStations) {
    error = "a generated catalogue holds 1.." + std::to_string(kMaxStations) + " stations";
    return false;
  }
  Catalogue catalogue;
  const std::size_t profileCount = sizeof(kProfiles) / sizeof(kProfiles[0]);
  for (std::size_t i = 0; i < stations; ++i) {
    const NamedProfile& profile = kProfiles[i % profileCount];
    char number[16];
    std::snprintf(number, sizeof(number), "%04zu", i + 1);
    Station station;
    station.uid = static_cast<std::uint32_t>(100000 + i * 7 + 3);
    station.number = static_cast<std::uint32_t>(i + 1);
    station.name = std::string(profile.word) + " " + number;
    station.channelGroup = profile.group;
    station.flags =
        i % 4 == 0 ? std::vector<std::string>{"HD", "Replay"} : std::vector<std::string>{"SD"};
    // Spread over the playlists: a third free-to-air only, a third Plus only, a third both.
    station.inFta = i % 3 != 1;
    station.inPlus = i % 3 != 0;
    station.products = station.inPlus && !station.inFta ? std::vector<std::string>{"Plus"}
                                                        : std::vector<std::string>{"Basis"};
    station.logoFile = std::string("station-") + number + ".png";
    station.colour = static_cast<std::uint32_t>((i * 0x9E3779B9u) & 0xFFFFFF);
    station.profile = profile.profile;
    station.playlistGroup = profile.group;
    catalogue.stations_.push_back(station);
  }
  if (!catalogue.GenerateRadio(radio, error)) {
    return false;
  }
  if (!catalogue.Index(error)) {
    return false;
  }
  out = std::move(catalogue);
  return true;
}

bool Catalogue::GenerateRadio(std::size_t count, std::string& error) {
  if (count > 100000) {
    error = "a generated radio list holds at most 100000 stations";
    return false;
  }
  static const char* const kRadioGroups[] = {"Pop", "Klassik", "Information", "Regional"};
  radio_.clear();
  for (std::size_t i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof(name), "Radio Welle %03zu", i + 1);
    radio_.push_back(RadioStation{name, kRadioGroups[i % 4]});
  }
  return true;
}

std::string Catalogue::SourceDirectory() {
  return ZU_PROVIDER_SOURCE_CATALOGUE;
}

bool Catalogue::Index(std::string& error) {
  if (stations_.size() > kMaxStations) {
    error = "at most " + std::to_string(kMaxStations) + " stations are supported";
    return false;
  }
  byUid_.clear();
  byLogo_.clear();
  std::set<std::string> names;
  for (std::size_t i = 0; i < stations_.size(); ++i) {
    const Station& station = stations_[i];
    std::string where = "station '" + station.name + "'";
    if (!byUid_.emplace(station.uid, i).second) {
      error = where + " repeats uid " + std::to_string(station.uid);
      return false;
    }
    if (!byLogo_.emplace(station.logoFile, i).second) {
      error = where + " repeats logo '" + station.logoFile + "'";
      return false;
    }
    if (!names.insert(station.name).second) {
      error = where + " is listed twice";
      return false;
    }
  }
  for (const PlaylistOnlyEntry& extra : playlistOnly_) {
    if (names.count(extra.name) != 0) {
      error = "playlist-only entry '" + extra.name + "' is also a station";
      return false;
    }
  }
  return true;
}

const Station* Catalogue::FindByUid(std::uint32_t uid) const {
  auto it = byUid_.find(uid);
  return it == byUid_.end() ? nullptr : &stations_[it->second];
}

const Station* Catalogue::FindByLogo(const std::string& file) const {
  auto it = byLogo_.find(file);
  return it == byLogo_.end() ? nullptr : &stations_[it->second];
}

const Station* Catalogue::ByOrdinal(std::size_t ordinal) const {
  return ordinal >= 1 && ordinal <= stations_.size() ? &stations_[ordinal - 1] : nullptr;
}

std::size_t Catalogue::OrdinalOf(const Station& station) const {
  return static_cast<std::size_t>(&station - stations_.data()) + 1;
}

}  // namespace provider
}  // namespace zu

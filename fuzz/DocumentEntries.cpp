// The readers of the provider's documents: playlists, station list, show list, show details
// and the character references in show texts.

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/String.h"
#include "fuzz/FuzzEntries.h"
#include "fuzz/FuzzSupport.h"
#include "nivo/CacheArchive.h"
#include "nivo/Json.h"
#include "nivo/M3U.h"
#include "nivo/ShowDetailsDocument.h"
#include "nivo/ShowListDocument.h"
#include "nivo/ShowTexts.h"
#include "nivo/StationListDocument.h"
#include "nivo/TVPlaylists.h"
#include "nivo/TextEncoding.h"
#include "stream/Factory.h"

namespace zu {
namespace fuzz {

namespace {

std::string Text(const std::uint8_t* data, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

bool HasLineBreak(const std::string& text) {
  return text.find_first_of("\r\n") != std::string::npos;
}

// A table the station list is merged into: what a cache would hold for two of the sample
// provider's stations and one other.
nivo::Channels PreviousChannels() {
  nivo::Channels channels;
  const unsigned int uids[] = {71001, 71002, 4711};
  for (unsigned int uid : uids) {
    nivo::Channel& channel = channels[uid];
    channel.uid = uid;
    channel.number = uid % 100;
    channel.name = "Cached " + std::to_string(uid);
    channel.streamUrl = "http://127.0.0.1/stream/" + std::to_string(uid) + ".m3u8";
    channel.isRadio = uid == 71002;
    channel.groups.insert("Cached");
  }
  return channels;
}

// Whether nlohmann takes text as UTF-8 when it writes it out: an oracle of our own check.
bool TakenAsUtf8ByNlohmann(const std::string& text) {
  try {
    nlohmann::json(text).dump();
    return true;
  } catch (const nlohmann::json::exception&) {
    return false;
  }
}

// Whether our view of a document holds the values nlohmann read from the same text (numbers
// with a fraction or exponent only by type: the view has no accessor for them).
bool SameValues(const nivo::JsonValue& ours, const nlohmann::json& theirs) {
  switch (theirs.type()) {
    case nlohmann::json::value_t::null:
      return ours.IsNull();
    case nlohmann::json::value_t::boolean:
      return ours.IsBool() && ours.GetBool() == theirs.get<bool>();
    case nlohmann::json::value_t::number_integer:
      return ours.IsInteger() && ours.GetInt64() == theirs.get<std::int64_t>();
    case nlohmann::json::value_t::number_unsigned:
      return ours.IsInteger() &&
             ours.GetInt64() == static_cast<std::int64_t>(theirs.get<std::uint64_t>());
    case nlohmann::json::value_t::string:
      return ours.IsString() && ours.GetString() == theirs.get_ref<const std::string&>();
    case nlohmann::json::value_t::array:
      if (!ours.IsArray() || ours.Size() != theirs.size())
        return false;
      for (std::size_t i = 0; i < theirs.size(); ++i) {
        if (!SameValues(ours[i], theirs[i]))
          return false;
      }
      return true;
    case nlohmann::json::value_t::object:
      if (!ours.IsObject())
        return false;
      for (auto member = theirs.begin(); member != theirs.end(); ++member) {
        const std::optional<nivo::JsonValue> found = ours.FindMember(member.key());
        if (!found || !SameValues(*found, member.value()))
          return false;
      }
      return true;
    default:
      return !ours.IsNull() && !ours.IsBool() && !ours.IsInteger() && !ours.IsString() &&
             !ours.IsArray() && !ours.IsObject();
  }
}

// The text as a document: where nlohmann takes it as it is, the reader reads the same. A
// document nested too deep is left alone (nlohmann has no bound).
void CheckReadLikeNlohmann(const std::string& text, const char* target) {
  std::optional<nivo::JsonValue> ours;
  std::string refusal;
  try {
    ours = nivo::ParseJson(text);
  } catch (const nivo::JsonSyntaxError& e) {
    if (e.Reason() == "nesting too deep")
      return;
    refusal = e.what();
  }
  nlohmann::json theirs;
  try {
    theirs = nlohmann::json::parse(text);
  } catch (const nlohmann::json::exception&) {
    return;
  }
  Check(ours.has_value(), target, "a document nlohmann reads was refused: " + refusal);
  Check(SameValues(*ours, theirs), target, "the reader read other values than nlohmann");
}

}  // namespace

void FuzzTextEncoding(const std::uint8_t* data, std::size_t size) {
  static const char kTarget[] = "text_encoding";
  QuietOutput();
  const std::string text = Text(data, size);
  const std::string utf8 = nivo::ToUtf8(text);
  const bool valid = nivo::IsValidUtf8(text);
  Check(valid == TakenAsUtf8ByNlohmann(text), kTarget, "IsValidUtf8 and nlohmann disagree");
  Check(TakenAsUtf8ByNlohmann(utf8), kTarget, "the re-encoded text is not UTF-8");
  Check(!valid || utf8 == text, kTarget, "re-encoding changed a valid text");
  Check(nivo::ToUtf8(utf8) == utf8, kTarget, "re-encoding a second time changed the text");

  CheckReadLikeNlohmann(text, kTarget);

  // The text as the content of a string (its quotes taken out): the document always parses.
  // Without backslashes, its string is the text re-encoded. A syntax error after the string is
  // placed in the text as given, however much the repairs changed its length.
  std::string content = text;
  content.erase(std::remove(content.begin(), content.end(), '"'), content.end());
  std::string plain = content;
  plain.erase(std::remove(plain.begin(), plain.end(), '\\'), plain.end());
  try {
    Check(nivo::ParseJson("[\"" + plain + "\"]")[0].GetString() == nivo::ToUtf8(plain), kTarget,
          "a string without escapes is not its text re-encoded");
    nivo::ParseJson("[\"" + content + " \"]");
  } catch (const nivo::JsonSyntaxError& e) {
    Fail(kTarget, std::string("a string with any content was refused: ") + e.what());
  }
  const std::size_t line =
      2 + static_cast<std::size_t>(std::count(content.begin(), content.end(), '\n'));
  try {
    nivo::ParseJson("[\"" + content + " \",\nx]");
    Fail(kTarget, "a document with a bare word was read");
  } catch (const nivo::JsonSyntaxError& e) {
    Check(e.Line() == line && e.Column() == 1, kTarget,
          std::string("the error after the string is not placed at the word: ") + e.what());
  }
}

void FuzzM3U(const std::uint8_t* data, std::size_t size) {
  static const char kTarget[] = "m3u";
  QuietOutput();
  std::string text = Text(data, size);
  // The reader's own stream, and the way the client calls it.
  const std::vector<nivo::M3UEntry> entries = nivo::ReadM3U(factory::CreateStringStream(text));
  Check(text == Text(data, size), kTarget, "reading the playlist changed its text");
  Check(entries == nivo::ReadM3UText(text), kTarget, "ReadM3UText read other entries than ReadM3U");
  for (const nivo::M3UEntry& entry : entries) {
    Check(!entry.url.empty() && entry.url[0] != '#', kTarget,
          "an entry got an empty URL or a directive as URL: '" + entry.url + "'");
    Check(!HasLineBreak(entry.url) && !HasLineBreak(entry.name) && !HasLineBreak(entry.group),
          kTarget, "an entry holds a line break");
    Check(entry.group == string::TrimmSpaces(entry.group), kTarget,
          "a group name is not trimmed: '" + entry.group + "'");
  }
  // Lines may end in CR LF as well as LF: without CR in the text, both read the same.
  if (text.find('\r') == std::string::npos) {
    std::string crlf;
    for (char c : text) {
      if (c == '\n')
        crlf += '\r';
      crlf += c;
    }
    Check(nivo::ReadM3UText(crlf) == entries, kTarget, "CR LF line ends read other entries");
  }
}

void FuzzStationList(const std::uint8_t* data, std::size_t size) {
  static const char kTarget[] = "station_list";
  QuietOutput();
  static const nivo::Channels previous = PreviousChannels();
  nivo::Channels channels;
  try {
    channels = nivo::ParseStationList(Text(data, size), previous);
  } catch (const nivo::JsonSyntaxError&) {
    return;
  } catch (const nivo::JsonError&) {
    return;
  }
  for (const auto& entry : channels) {
    const nivo::Channel& channel = entry.second;
    Check(entry.first == channel.uid, kTarget,
          "channel " + std::to_string(channel.uid) + " is kept under uid " +
              std::to_string(entry.first));
    // What the cache held about a station survives the provider's new list.
    const auto cached = previous.find(entry.first);
    if (cached != previous.end()) {
      Check(channel.streamUrl == cached->second.streamUrl &&
                channel.isRadio == cached->second.isRadio,
            kTarget,
            "channel " + std::to_string(channel.uid) + " lost its stream URL or radio flag");
    }
  }
  // Whatever the provider sends must go into the channel cache and come back the same.
  Check(nivo::ReadChannelsArchive(nivo::WriteChannelsArchive(channels)) == channels, kTarget,
        "the channel table read from the station list does not survive the channel cache");
}

void FuzzShowList(const std::uint8_t* data, std::size_t size) {
  static const char kTarget[] = "show_list";
  QuietOutput();
  nivo::ShowListPiece piece;
  try {
    piece = nivo::ParseShowListPiece(Text(data, size));
  } catch (const nivo::JsonSyntaxError&) {
    return;
  } catch (const nivo::JsonError&) {
    return;
  } catch (const std::runtime_error&) {
    return;  // a show time that is not one
  }
  Check(piece.outcome == nivo::ShowListPiece::Shows || piece.shows.empty(), kTarget,
        "a piece without shows holds shows");
  Check(piece.shows.size() <= piece.showCount, kTarget, "more shows read than the record holds");
  for (const nivo::TVShow& show : piece.shows) {
    Check(!show.start.is_special() && !show.end.is_special(), kTarget,
          "show " + std::to_string(show.id) + " has no plain start or end");
  }
  Check(nivo::ReadShowsArchive(nivo::WriteShowsArchive(piece.shows)) == piece.shows, kTarget,
        "the shows read from the show list do not survive the guide cache");
}

void FuzzShowDetails(const std::uint8_t* data, std::size_t size) {
  static const char kTarget[] = "show_details";
  QuietOutput();
  nivo::TVShow original;
  original.id = 4711;
  original.title = "Title";
  original.start =
      boost::posix_time::ptime(boost::gregorian::date(2016, 1, 31), boost::posix_time::hours(20));
  original.end = original.start + boost::posix_time::minutes(45);
  original.persons.emplace_back("Host", "Someone");
  nivo::TVShow show = original;
  try {
    nivo::ParseShowDetails(Text(data, size), show);
  } catch (const nivo::JsonSyntaxError&) {
    Check(show == original, kTarget, "a document that is not JSON changed the show");
    return;
  } catch (const nivo::JsonError&) {
    Check(show == original, kTarget, "a document of the wrong shape changed the show");
    return;
  }
  Check(show.id == original.id && show.start == original.start && show.end == original.end, kTarget,
        "the details changed the show's id or times");
  Check(show.detailsRead, kTarget, "a details document did not mark the show as read");
  Check(show.persons.size() >= original.persons.size(), kTarget, "the details dropped persons");
  const nivo::TVShows shows(1, show);
  Check(nivo::ReadShowsArchive(nivo::WriteShowsArchive(shows)) == shows, kTarget,
        "a show with its details does not survive the guide cache");
}

void FuzzDecodeEntities(const std::uint8_t* data, std::size_t size) {
  static const char kTarget[] = "decode_entities";
  QuietOutput();
  const std::string text = Text(data, size);
  const std::string decoded = nivo::DecodeEntities(text);
  // Every reference is at least as long as the character it stands for.
  Check(decoded.size() <= text.size(), kTarget,
        "decoding made the text longer: " + std::to_string(text.size()) + " -> " +
            std::to_string(decoded.size()) + " bytes");
  if (text.find('&') == std::string::npos)
    Check(decoded == text, kTarget, "a text without references changed");
  if (nivo::IsValidUtf8(text))
    Check(nivo::IsValidUtf8(decoded), kTarget, "well-formed UTF-8 became malformed");
}

}  // namespace fuzz
}  // namespace zu

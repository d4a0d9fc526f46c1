#include "nivo/ShowDetailsDocument.h"

#include <cstddef>
#include <cstdint>
#include <optional>

#include "base/String.h"
#include "nivo/Json.h"

namespace zu {
namespace nivo {

namespace {

struct NamedEntity {
  const char* name;  // including the ";"
  char character;
};

const NamedEntity kNamedEntities[] = {
    {"lt;", '<'}, {"gt;", '>'}, {"amp;", '&'}, {"apos;", '\''}, {"quot;", '"'}};

const std::uint32_t kReplacementCharacter = 0xFFFD;
// More digits than this cannot be a code point; they are counted but not evaluated.
const std::size_t kMaxCodePointDigits = 7;

void AppendUtf8(std::uint32_t codePoint, std::string& to) {
  if (codePoint < 0x80) {
    to += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    to += static_cast<char>(0xC0 | (codePoint >> 6));
    to += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    to += static_cast<char>(0xE0 | (codePoint >> 12));
    to += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    to += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    to += static_cast<char>(0xF0 | (codePoint >> 18));
    to += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    to += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    to += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Decodes a numeric reference whose "&" is at text[at]. Returns the offset after it, or
// nothing when there is none (no digits, or digits followed by something else than ";").
std::optional<std::size_t> DecodeNumeric(const std::string& text, std::size_t at, std::string& to) {
  std::size_t position = at + 2;  // after "&#"
  const std::size_t digitsStart = position;
  std::uint32_t value = 0;
  while (position < text.size() && IsDigit(text[position])) {
    if (position - digitsStart < kMaxCodePointDigits)
      value = value * 10 + static_cast<std::uint32_t>(text[position] - '0');
    ++position;
  }
  const std::size_t digits = position - digitsStart;
  if (digits == 0)
    return std::nullopt;
  if (position < text.size()) {
    if (text[position] != ';')
      return std::nullopt;
    ++position;
  }
  const bool valid = digits <= kMaxCodePointDigits && value != 0 && value <= 0x10FFFF &&
                     !(value >= 0xD800 && value <= 0xDFFF);
  AppendUtf8(valid ? value : kReplacementCharacter, to);
  return position;
}

std::string StringOr(const std::optional<JsonValue>& value) {
  return value && value->IsString() ? value->GetString() : std::string();
}

// The event object of the document, if it has one.
std::optional<JsonValue> FindEvent(const JsonValue& root) {
  const std::optional<JsonValue> data = root.FindMember("data");
  if (!data || !data->IsArray() || data->Size() == 0)
    return std::nullopt;
  const JsonValue record = (*data)[0];
  if (!record.IsObject())
    return std::nullopt;
  const std::optional<JsonValue> event = record.FindMember("Event");
  if (!event || !event->IsObject())
    return std::nullopt;
  return event;
}

}  // namespace

std::string DecodeEntities(const std::string& text) {
  if (text.find('&') == std::string::npos)
    return text;
  std::string decoded;
  decoded.reserve(text.size());
  std::size_t position = 0;
  while (position < text.size()) {
    const char c = text[position];
    if (c != '&' || position + 1 == text.size()) {
      decoded += c;
      ++position;
      continue;
    }
    bool replaced = false;
    for (const NamedEntity& entity : kNamedEntities) {
      if (text.compare(position + 1, std::char_traits<char>::length(entity.name), entity.name) ==
          0) {
        decoded += entity.character;
        position += 1 + std::char_traits<char>::length(entity.name);
        replaced = true;
        break;
      }
    }
    if (replaced)
      continue;
    if (text[position + 1] == '#') {
      if (std::optional<std::size_t> next = DecodeNumeric(text, position, decoded)) {
        position = *next;
        continue;
      }
    }
    decoded += c;
    ++position;
  }
  return decoded;
}

std::string MakeShowDetailsPath(unsigned int id) {
  return "a/api.mobile.event.get?type=JSON.3&evid=" + zu::string::ToString(id);
}

void ParseShowDetails(const std::string& body, TVShow& show) {
  const JsonValue root = ParseJson(body);
  if (!root.IsObject())
    throw JsonError("value is not an object");
  const std::optional<JsonValue> event = FindEvent(root);

  auto member = [&event](const char* name) -> std::optional<JsonValue> {
    return event ? event->FindMember(name) : std::nullopt;
  };
  // Everything is read before the show is touched: a document that fails half-way leaves the
  // show as it was, so the next attempt does not append its persons a second time.
  const std::string title = StringOr(member("Title"));
  const std::string subTitle = StringOr(member("SubTitle"));
  const std::string type = StringOr(member("Type"));
  const std::string genre = StringOr(member("Genre"));
  const std::string description = StringOr(member("Description"));
  const std::string image = StringOr(member("Image"));
  std::string country;
  if (const std::optional<JsonValue> countries = member("Country")) {
    if (countries->IsArray() && countries->Size() > 0)
      country = StringOr((*countries)[0]);
  }
  unsigned int year = 0;
  if (const std::optional<JsonValue> years = member("Year")) {
    if (years->IsArray() && years->Size() > 0 && (*years)[0].IsInteger())
      year = static_cast<unsigned int>((*years)[0].GetInt());
  }
  unsigned int duration = 0;
  if (const std::optional<JsonValue> seconds = member("Duration")) {
    if (seconds->IsInteger())
      duration = static_cast<unsigned int>(seconds->GetInt() / 60);
  }
  std::vector<std::pair<std::string, std::string>> persons;
  if (const std::optional<JsonValue> entries = member("Person")) {
    if (entries->IsArray()) {
      const std::size_t count = entries->Size();
      for (std::size_t i = 0; i < count; ++i) {
        // [role, name, name, ...]: the role itself is not a person.
        const JsonValue entry = (*entries)[i];
        const std::size_t size = entry.Size();
        if (size == 0)
          continue;
        const std::string& role = entry[0].GetString();
        for (std::size_t n = 1; n < size; ++n)
          persons.emplace_back(role, entry[n].GetString());
      }
    }
  }

  show.title = DecodeEntities(title);
  show.subTitle = DecodeEntities(subTitle);
  show.description = DecodeEntities(description);
  show.duration = duration;
  show.country = country;
  show.year = year;
  show.AddGenre(type);
  show.AddGenre(genre);
  show.image = image;
  show.persons.insert(show.persons.end(), persons.begin(), persons.end());
  show.detailsRead = true;
}

}  // namespace nivo
}  // namespace zu

#include "nivo/ShowDetailsDocument.h"

#include <cstddef>
#include <cstdint>
#include <optional>

#include "base/String.h"
#include "nivo/Json.h"
#include "nivo/ShowTexts.h"

namespace zu {
namespace nivo {

namespace {

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

  SetDetailTexts(show, title, subTitle, description);
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

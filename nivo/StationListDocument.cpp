#include "nivo/StationListDocument.h"

#include <cstdint>
#include <utility>

#include "nivo/Json.h"
#include "output/Output.h"

namespace zu {
namespace nivo {

namespace {

void ReplaceFirst(std::string& text, const std::string& pattern, const std::string& replacement) {
  const std::string::size_type at = text.find(pattern);
  if (at != std::string::npos)
    text.replace(at, pattern.size(), replacement);
}

// The low 32 bits of an integer value, as the provider's ids and numbers are taken.
unsigned int Low32(const JsonValue& value) {
  return static_cast<unsigned int>(static_cast<std::uint64_t>(value.GetInt64()));
}

void AddStrings(const JsonValue& array, std::set<std::string>& to) {
  const std::size_t size = array.Size();
  for (std::size_t i = 0; i < size; ++i)
    to.insert(array[i].GetString());
}

}  // namespace

std::string RewriteLogoUri(const std::string& uri) {
  std::string rewritten = uri;
  ReplaceFirst(rewritten, "/logo/", "/station/");
  ReplaceFirst(rewritten, "/60x30/", "/128x64/");
  return rewritten;
}

Channels ParseStationList(const std::string& body, const Channels& previous) {
  const JsonValue data = ParseJson(body).Member("data");
  const std::size_t count = data.Size();
  Channels channels;
  for (std::size_t i = 0; i < count; ++i) {
    const JsonValue station = data[i].Member("Station");
    const JsonValue uidValue = station.Member("UID");
    const unsigned int uid = Low32(uidValue);
    const std::string& name = station.Member("DisplayName").GetString();
    const JsonValue channelArray = station.Member("Channel");
    if (channelArray.Size() < 2) {
      ZU_WARNING("NivoTV", "Skipping TV station with UID " + std::to_string(uidValue.GetInt64()) +
                               " ('" + name +
                               "'): its \"Channel\" array has fewer than 2 elements");
      continue;
    }
    std::set<std::string> groups;
    groups.insert(channelArray[0].GetString());
    const unsigned int number = Low32(channelArray[1]);
    AddStrings(station.Member("Flags"), groups);
    AddStrings(station.Member("Products"), groups);
    const std::string logoUri = RewriteLogoUri(station.Member("Logo").Member("URI").GetString());

    const Channels::const_iterator known = previous.find(uid);
    Channel channel = known != previous.end() ? known->second : Channel();
    channel.uid = uid;
    channel.number = number;
    channel.name = name;
    channel.logoUri = logoUri;
    channel.groups.swap(groups);
    channels[uid] = std::move(channel);
  }
  return channels;
}

}  // namespace nivo
}  // namespace zu

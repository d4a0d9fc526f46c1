#include <exception>

#include "base/File.h"
#include "base/FileName.h"
#include "base/String.h"
#include "multi_threading/ScopedLock.h"
#include "nivo/CacheArchive.h"
#include "nivo/ClientCore.h"
#include "nivo/Host.h"
#include "nivo/JsonReader.h"
#include "nivo/TVPlaylists.h"
#include "output/Output.h"

namespace zu {
namespace nivo {

namespace {

const char kChannelCacheFile[] = "channels.zug";
const char kShippedChannelsFile[] = "tv.zug";
const char kRadioPlaylistFile[] = "radio.m3u";
const unsigned int kFirstRadioUid = 10000;

}  // namespace

void ClientCore::EnsureChannelsLoaded() {
  multi_threading::ScopedLock lock(mutex);
  if (!channels.empty())
    return;
  LoadTVChannels();
  LoadRadioChannels();
  SaveChannels();
  LoadEPG();
}

void ClientCore::SaveChannels() {
  multi_threading::ScopedLock lock(mutex);
  // An empty table says nothing was loaded; it must not replace a cache that may still serve.
  if (channels.empty())
    return;
  SaveData(file_name::AddFileNameAndPath(userPath, kChannelCacheFile),
           WriteChannelsArchive(channels));
}

Channels ClientCore::LoadCachedChannels() {
  Channels result;
  ReadChannelTable(file_name::AddFileNameAndPath(clientPath, kShippedChannelsFile), result);
  Channels cached;
  if (ReadChannelTable(file_name::AddFileNameAndPath(userPath, kChannelCacheFile), cached)) {
    // A cached channel without a stream URL knows less than the shipped one; it only
    // replaces a shipped channel when it can be played.
    for (const auto& entry : cached) {
      if (!entry.second.streamUrl.empty())
        result[entry.first] = entry.second;
    }
  }
  return result;
}

bool ClientCore::ReadChannelTable(const std::string& path, Channels& table) {
  std::string text;
  if (!LoadData(path, text))
    return false;
  try {
    table = ReadChannelsArchive(text);
  } catch (const std::exception& error) {
    // A file cut short by a crash, or overwritten with anything else, is treated as absent:
    // failing the load on it would leave the add-on without channels for good. The channel
    // cache is rewritten by the next successful load.
    ZU_ERROR("NivoTV", "Ignoring unreadable channel table '" + path + "': " + error.what());
    return false;
  }
  return true;
}

void ClientCore::LoadTVChannels() {
  multi_threading::ScopedLock lock(mutex);
  if (!channels.empty())
    return;
  ZU_INFO("NivoTV", "Reading TV Stations from NivoTV ...");
  channels = LoadCachedChannels();
  NotifyHost("Reading TV Stations from NivoTV");
  JsonReader reader(pageReader);
  channels = reader.ReadTVStations(channels);
  if (channels.empty()) {
    ZU_ERROR("NivoTV", "Failed Reading TV Stations from NivoTV");
    return;
  }
  RegisterChannelGroups();
  ZU_INFO("NivoTV", "Loading TV Channels done.");
}

void ClientCore::LoadRadioChannels() {
  multi_threading::ScopedLock lock(mutex);
  ZU_INFO("NivoTV", "Reading Radio Stations from NivoTV ...");
  NotifyHost("Reading Radio Stations from NivoTV");
  std::string text;
  if (LoadData(file_name::AddFileNameAndPath(clientPath, kRadioPlaylistFile), text)) {
    unsigned int uid = kFirstRadioUid;
    for (const M3UEntry& entry : ReadM3UText(text)) {
      Channel radio;
      radio.name = entry.name;
      radio.uid = uid;
      radio.number = uid;
      radio.streamUrl = entry.url;
      radio.groups.insert(entry.group);
      radio.isRadio = true;
      Channel& stored = channels[uid];
      if (!stored.isRadio && !stored.name.empty()) {
        ZU_WARNING("NivoTV", "Radio station '" + radio.name + "' replaces TV station '" +
                                 stored.name + "' of the same id " + string::ToString(uid));
      }
      stored = radio;
      ++uid;
    }
  }
  // Also when the playlist cannot be read: the radio channels the cached table kept are still
  // channels of the table, and their groups must be there for them.
  RegisterChannelGroups();
  ZU_INFO("NivoTV", "Reading Radio Stations from NivoTV done.");
}

void ClientCore::RegisterChannelGroups() {
  multi_threading::ScopedLock lock(mutex);
  // A radio channel's group is a radio group and a TV channel's a TV group, also where a
  // name is used by both: the host lists each kind's groups with that kind's members.
  channelGroups.clear();
  for (const auto& entry : channels) {
    for (const std::string& group : entry.second.groups)
      channelGroups.insert(std::make_pair(group, entry.second.isRadio));
  }
}

void ClientCore::SaveChannelLogo(const Channel& channel, const std::string& data) {
  multi_threading::ScopedLock lock(mutex);
  const std::string path = GetChannelLogoPath(channel);
  if (!SaveData(path, data))
    unwritableLogos_.insert(path);
}

void ClientCore::UpdateChannelLogo(const Channel& channel) {
  multi_threading::ScopedLock lock(mutex);
  if (channel.isRadio)
    return;
  // Downloaded once: a logo file that exists is never refreshed. One that could not be
  // written would fail again; the host shows the channel without it.
  const std::string path = GetChannelLogoPath(channel);
  if (unwritableLogos_.count(path) != 0 || file::Exists(path))
    return;
  JsonReader reader(pageReader);
  reader.ReadTVStationImage(
      channel,
      [this](const Channel& owner, const std::string& image) { SaveChannelLogo(owner, image); },
      &logoFailures_, &invalidLogoUrls_[channel.uid]);
}

void ClientCore::NotifyHost(const std::string& text) {
  if (host != nullptr)
    host->Notify(Host::NotifyInfo, text);
}

}  // namespace nivo
}  // namespace zu

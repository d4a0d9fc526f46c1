#include "nivo/ChannelCatalogue.h"

#include <exception>
#include <utility>

#include "base/FileName.h"
#include "base/String.h"
#include "nivo/CacheArchive.h"
#include "nivo/HostFiles.h"
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

ChannelCatalogue::ChannelCatalogue(HostFiles& files, SharedPtr<HttpPageReader> pageReader,
                                   std::string userPath, std::string clientPath, Notify notify)
    : files_(files),
      pageReader_(std::move(pageReader)),
      userPath_(std::move(userPath)),
      clientPath_(std::move(clientPath)),
      notify_(std::move(notify)),
      table_(std::make_shared<const ChannelTable>()) {}

ChannelTablePtr ChannelCatalogue::Table() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return table_;
}

bool ChannelCatalogue::EnsureLoaded() {
  if (!Table()->channels.empty())
    return false;
  // Built aside and published whole: a load that ends in an exception leaves the table as it
  // was, and readers never see one half loaded.
  auto table = std::make_shared<ChannelTable>();
  LoadTVChannels(*table);
  LoadRadioChannels(*table);
  SaveChannels(table->channels);
  std::lock_guard<std::mutex> lock(mutex_);
  table_ = std::move(table);
  return true;
}

void ChannelCatalogue::LoadTVChannels(ChannelTable& table) {
  ZU_INFO("NivoTV", "Reading TV Stations from NivoTV ...");
  table.channels = LoadCachedChannels();
  if (notify_)
    notify_("Reading TV Stations from NivoTV");
  JsonReader reader(pageReader_);
  table.channels = reader.ReadTVStations(table.channels);
  if (table.channels.empty()) {
    ZU_ERROR("NivoTV", "Failed Reading TV Stations from NivoTV");
    return;
  }
  RegisterChannelGroups(table);
  ZU_INFO("NivoTV", "Loading TV Channels done.");
}

void ChannelCatalogue::LoadRadioChannels(ChannelTable& table) {
  ZU_INFO("NivoTV", "Reading Radio Stations from NivoTV ...");
  if (notify_)
    notify_("Reading Radio Stations from NivoTV");
  std::string text;
  if (files_.LoadData(file_name::AddFileNameAndPath(clientPath_, kRadioPlaylistFile), text)) {
    unsigned int uid = kFirstRadioUid;
    for (const M3UEntry& entry : ReadM3UText(text)) {
      Channel radio;
      radio.name = entry.name;
      radio.uid = uid;
      radio.number = uid;
      radio.streamUrl = entry.url;
      radio.groups.insert(entry.group);
      radio.isRadio = true;
      Channel& stored = table.channels[uid];
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
  RegisterChannelGroups(table);
  ZU_INFO("NivoTV", "Reading Radio Stations from NivoTV done.");
}

void ChannelCatalogue::SaveChannels(const Channels& channels) {
  // An empty table says nothing was loaded; it must not replace a cache that may still serve.
  if (channels.empty())
    return;
  files_.SaveData(file_name::AddFileNameAndPath(userPath_, kChannelCacheFile),
                  WriteChannelsArchive(channels));
}

Channels ChannelCatalogue::LoadCachedChannels() {
  Channels result;
  ReadChannelTable(file_name::AddFileNameAndPath(clientPath_, kShippedChannelsFile), result);
  Channels cached;
  if (ReadChannelTable(file_name::AddFileNameAndPath(userPath_, kChannelCacheFile), cached)) {
    // A cached channel without a stream URL knows less than the shipped one; it only
    // replaces a shipped channel when it can be played.
    for (const auto& entry : cached) {
      if (!entry.second.streamUrl.empty())
        result[entry.first] = entry.second;
    }
  }
  return result;
}

bool ChannelCatalogue::ReadChannelTable(const std::string& path, Channels& channels) {
  std::string text;
  if (!files_.LoadData(path, text))
    return false;
  try {
    channels = ReadChannelsArchive(text);
  } catch (const std::exception& error) {
    // A file cut short by a crash, or overwritten with anything else, is treated as absent:
    // failing the load on it would leave the add-on without channels for good. The channel
    // cache is rewritten by the next successful load.
    ZU_ERROR("NivoTV", "Ignoring unreadable channel table '" + path + "': " + error.what());
    return false;
  }
  return true;
}

void ChannelCatalogue::RegisterChannelGroups(ChannelTable& table) {
  // A radio channel's group is a radio group and a TV channel's a TV group, also where a
  // name is used by both: the host lists each kind's groups with that kind's members.
  table.groups.clear();
  for (const auto& entry : table.channels) {
    for (const std::string& group : entry.second.groups)
      table.groups.insert(std::make_pair(group, entry.second.isRadio));
  }
}

}  // namespace nivo
}  // namespace zu

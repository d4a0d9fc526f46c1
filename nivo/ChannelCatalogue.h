#pragma once

#include <functional>
#include <mutex>
#include <string>

#include "base/SharedPtr.h"
#include "nivo/Channel.h"

namespace zu {
namespace nivo {

class HostFiles;
class HttpPageReader;

// A loaded channel table and the groups its channels carry. Handed out as a
// SharedPtr<const ChannelTable> that never changes, so any thread may read it without a lock.
struct ChannelTable {
  Channels channels;
  // Every group name of a channel, with the channel's kind.
  ChannelGroups groups;
};

using ChannelTablePtr = SharedPtr<const ChannelTable>;

// The client's channel table and where it comes from: the shipped "tv.zug" of the
// installation path, overlaid by the channel cache "channels.zug" of the user path, merged with
// the provider's station list and playlists, and the radio channels of the shipped
// "radio.m3u". A table that holds channels is cached in "channels.zug" and kept for the
// client's life; an empty one is loaded again by the next EnsureLoaded.
//
// Threads: Table from any thread; EnsureLoaded blocks for the provider's pages and runs one at
// a time (its caller serialises the loads).
class ChannelCatalogue {
 public:
  // Receives the texts the user is shown while the table loads.
  using Notify = std::function<void(const std::string& text)>;

  // files, the page reader and notify are used by EnsureLoaded; files must outlive the
  // catalogue.
  ChannelCatalogue(HostFiles& files, SharedPtr<HttpPageReader> pageReader, std::string userPath,
                   std::string clientPath, Notify notify);

  ChannelCatalogue(const ChannelCatalogue&) = delete;
  ChannelCatalogue& operator=(const ChannelCatalogue&) = delete;

  // The table; empty (never null) until a load found channels.
  ChannelTablePtr Table() const;

  // When the table has no channels: loads it (TV channels, then radio channels), caches it
  // when it holds channels, and makes it the table. Files that cannot be read are logged and
  // add nothing. True when it loaded, whatever it found; false when the table was loaded
  // already.
  bool EnsureLoaded();

 private:
  // The stored table: the shipped one overlaid by the cached channels that have a stream URL.
  Channels LoadCachedChannels();
  // Reads the channel table archive at path into channels. False, with channels unchanged,
  // when the file cannot be read or is not a channel table (logged).
  bool ReadChannelTable(const std::string& path, Channels& channels);
  // table = the stored table merged with the provider's station list and playlists.
  void LoadTVChannels(ChannelTable& table);
  // Adds the radio channels of the shipped playlist (uids from 10000 in file order, each
  // replacing whatever the table held under its uid).
  void LoadRadioChannels(ChannelTable& table);
  // Writes the channels to the channel cache; an empty table is never written.
  void SaveChannels(const Channels& channels);
  // table.groups = the groups the channels of the table carry, each with its channel's kind.
  static void RegisterChannelGroups(ChannelTable& table);

  HostFiles& files_;
  SharedPtr<HttpPageReader> pageReader_;
  const std::string userPath_;
  const std::string clientPath_;
  Notify notify_;

  // Guards table_, which is replaced, never changed.
  mutable std::mutex mutex_;
  ChannelTablePtr table_;
};

}  // namespace nivo
}  // namespace zu

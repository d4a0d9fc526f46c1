#pragma once

#include <kodi/addon-instance/PVR.h>

#include "kodi20/Kodi20Host.h"
#include "nivo/ClientCore.h"

namespace zu {
namespace kodi20 {

// The PVR client instance Kodi 20 creates: the client core bound to Kodi through Kodi20Host,
// answering Kodi's channel, group, member and guide requests and handing over the stream URL
// of a channel to play. Guide, TV, radio and channel groups; no recordings, no timers.
//
// Kodi tells the instance the days of guide it shows; once the channels are loaded, the core
// prefetches that window for every TV channel in the background, so that Kodi's guide
// requests are answered from what is stored. The connections to the provider are kept for
// further requests.
//
// Kodi calls the requests from its own threads; the core serialises them with its lock.
// Exceptions never leave a request: they are logged ("Received exception: ...", see
// CallGuarded) and the request fails with PVR_ERROR_FAILED.
class Kodi20Client : public kodi::addon::CInstancePVRClient {
 public:
  // Starts the core with the instance's user and installation paths. Nothing is loaded yet.
  explicit Kodi20Client(const kodi::addon::IInstanceInfo& instance);
  // Stops the core (its guide update thread is joined) before the instance goes.
  ~Kodi20Client() override;

  Kodi20Client(const Kodi20Client&) = delete;
  Kodi20Client& operator=(const Kodi20Client&) = delete;

  PVR_ERROR GetCapabilities(kodi::addon::PVRCapabilities& capabilities) override;
  PVR_ERROR GetBackendName(std::string& name) override;
  PVR_ERROR GetBackendVersion(std::string& version) override;
  PVR_ERROR GetConnectionString(std::string& connection) override;

  // With no channel to offer (the provider unreachable and nothing cached) these fail with
  // PVR_ERROR_SERVER_ERROR: Kodi then keeps the channels it knows instead of dropping them.
  PVR_ERROR GetChannelsAmount(int& amount) override;
  PVR_ERROR GetChannels(bool radio, kodi::addon::PVRChannelsResultSet& results) override;
  PVR_ERROR GetChannelGroupsAmount(int& amount) override;
  PVR_ERROR GetChannelGroups(bool radio, kodi::addon::PVRChannelGroupsResultSet& results) override;
  PVR_ERROR GetChannelGroupMembers(const kodi::addon::PVRChannelGroup& group,
                                   kodi::addon::PVRChannelGroupMembersResultSet& results) override;
  // PVR_ERROR_INVALID_PARAMETERS for a channel the client does not know.
  PVR_ERROR GetEPGForChannel(int channelUid, time_t start, time_t end,
                             kodi::addon::PVREPGTagsResultSet& results) override;
  // The channel's stream URL (as UTF-8), as a real-time stream. PVR_ERROR_INVALID_PARAMETERS
  // for an unknown channel, PVR_ERROR_SERVER_ERROR for one without a URL (both logged).
  PVR_ERROR GetChannelStreamProperties(
      const kodi::addon::PVRChannel& channel,
      std::vector<kodi::addon::PVRStreamProperty>& properties) override;
  // Kodi's guide window changed; a prefetch under way keeps the window it started with.
  PVR_ERROR SetEPGMaxPastDays(int pastDays) override;
  PVR_ERROR SetEPGMaxFutureDays(int futureDays) override;

 private:
  // The core uses the host until its DeInit returns: the host goes last.
  Kodi20Host host_;
  nivo::ClientCore core_;
};

}  // namespace kodi20
}  // namespace zu

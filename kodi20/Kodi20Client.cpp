#include "kodi20/Kodi20Client.h"

#include <exception>

#include "multi_threading/ScopedLock.h"
#include "output/Output.h"

namespace zu {
namespace kodi20 {

namespace {

PVR_ERROR FromCore(int result, bool haveChannels) {
  if (!haveChannels)
    return PVR_ERROR_SERVER_ERROR;
  return result == nivo::ClientCore::ResultNoError ? PVR_ERROR_NO_ERROR : PVR_ERROR_FAILED;
}

}  // namespace

Kodi20Client::Kodi20Client(const kodi::addon::IInstanceInfo& instance)
    : CInstancePVRClient(instance), host_(*this) {
  multi_threading::ScopedLock lock(core_.mutex);
  core_.Init(host_, UserPath(), ClientPath());
}

Kodi20Client::~Kodi20Client() {
  core_.DeInit();
  host_.Release();
}

template <class Request>
PVR_ERROR Kodi20Client::Guarded(const char* name, Request request) {
  try {
    return request();
  } catch (const std::exception& e) {
    ZU_ERROR("NivoTVPlugin", std::string("Received exception: ") + e.what() + " (" + name + ")");
  } catch (...) {
    ZU_ERROR("NivoTVPlugin", std::string("Received unknown exception (") + name + ")");
  }
  return PVR_ERROR_FAILED;
}

PVR_ERROR Kodi20Client::GetCapabilities(kodi::addon::PVRCapabilities& capabilities) {
  capabilities.SetSupportsEPG(true);
  capabilities.SetSupportsTV(true);
  capabilities.SetSupportsRadio(true);
  capabilities.SetSupportsChannelGroups(true);
  capabilities.SetSupportsRecordings(false);
  capabilities.SetSupportsTimers(false);
  return PVR_ERROR_NO_ERROR;
}

PVR_ERROR Kodi20Client::GetBackendName(std::string& name) {
  name = "ZUNivoTV";
  return PVR_ERROR_NO_ERROR;
}

PVR_ERROR Kodi20Client::GetBackendVersion(std::string& version) {
  version = ZU_NIVOTV_VERSION;
  return PVR_ERROR_NO_ERROR;
}

PVR_ERROR Kodi20Client::GetConnectionString(std::string& connection) {
  connection = "connected";
  return PVR_ERROR_NO_ERROR;
}

PVR_ERROR Kodi20Client::GetChannelsAmount(int& amount) {
  return Guarded("GetChannelsAmount", [&] {
    amount = core_.GetChannelsAmount();
    return amount > 0 ? PVR_ERROR_NO_ERROR : PVR_ERROR_SERVER_ERROR;
  });
}

PVR_ERROR Kodi20Client::GetChannels(bool radio, kodi::addon::PVRChannelsResultSet& results) {
  return Guarded("GetChannels", [&] {
    multi_threading::ScopedLock lock(core_.mutex);
    int result = core_.GetChannels(&results, radio);
    return FromCore(result, !core_.channels.empty());
  });
}

PVR_ERROR Kodi20Client::GetChannelGroupsAmount(int& amount) {
  return Guarded("GetChannelGroupsAmount", [&] {
    amount = core_.GetChannelGroupsAmount();
    return PVR_ERROR_NO_ERROR;
  });
}

PVR_ERROR Kodi20Client::GetChannelGroups(bool radio,
                                         kodi::addon::PVRChannelGroupsResultSet& results) {
  return Guarded("GetChannelGroups", [&] {
    multi_threading::ScopedLock lock(core_.mutex);
    int result = core_.GetChannelGroups(&results, radio);
    return FromCore(result, !core_.channels.empty());
  });
}

PVR_ERROR Kodi20Client::GetChannelGroupMembers(
    const kodi::addon::PVRChannelGroup& group,
    kodi::addon::PVRChannelGroupMembersResultSet& results) {
  return Guarded("GetChannelGroupMembers", [&] {
    multi_threading::ScopedLock lock(core_.mutex);
    int result = core_.GetChannelGroupMembers(&results, group.GetGroupName(), group.GetIsRadio());
    return FromCore(result, !core_.channels.empty());
  });
}

PVR_ERROR Kodi20Client::GetEPGForChannel(int channelUid, time_t start, time_t end,
                                         kodi::addon::PVREPGTagsResultSet& results) {
  return Guarded("GetEPGForChannel", [&] {
    Kodi20Host::EpgRequest request{&results, static_cast<unsigned int>(channelUid)};
    return core_.UpdateEPGForChannel(&request, request.channelUid, start, end)
               ? PVR_ERROR_NO_ERROR
               : PVR_ERROR_INVALID_PARAMETERS;
  });
}

PVR_ERROR Kodi20Client::GetChannelStreamProperties(
    const kodi::addon::PVRChannel& channel,
    std::vector<kodi::addon::PVRStreamProperty>& properties) {
  return Guarded("GetChannelStreamProperties", [&] {
    multi_threading::ScopedLock lock(core_.mutex);
    core_.EnsureChannelsLoaded();
    auto found = core_.channels.find(channel.GetUniqueId());
    if (found == core_.channels.end()) {
      ZU_ERROR("NivoTV", "Channel with id " + std::to_string(channel.GetUniqueId()) + " not found");
      return PVR_ERROR_INVALID_PARAMETERS;
    }
    if (found->second.streamUrl.empty()) {
      ZU_ERROR("NivoTV", "Url for '" + found->second.name + "' not found");
      return PVR_ERROR_SERVER_ERROR;
    }
    properties.emplace_back(PVR_STREAM_PROPERTY_STREAMURL, found->second.streamUrl);
    properties.emplace_back(PVR_STREAM_PROPERTY_ISREALTIMESTREAM, "true");
    return PVR_ERROR_NO_ERROR;
  });
}

}  // namespace kodi20
}  // namespace zu

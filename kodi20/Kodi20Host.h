#pragma once

#include <atomic>
#include <string>

#include <kodi/addon-instance/PVR.h>

#include "kodi20/Kodi20Records.h"
#include "nivo/Host.h"

namespace zu {
namespace kodi20 {

// The client core's host inside Kodi 20: the log and notifications through kodi::Log and
// kodi::QueueNotification, whole files through kodi::vfs, the transfers into the result sets
// of the PVR instance's requests, and the update triggers through the instance.
//
// The request handles the core passes back are made by the instance: a PVRChannelsResultSet*
// for channels, a PVRChannelGroupsResultSet* for groups, a PVRChannelGroupMembersResultSet*
// for members and an EpgRequest* for guide entries.
class Kodi20Host : public nivo::Host {
 public:
  // The handle of a guide request: where the entries go, the channel they belong to, and the
  // conversion of their times.
  struct EpgRequest {
    kodi::addon::PVREPGTagsResultSet* results;
    unsigned int channelUid;
    KodiTimes times;
  };

  // instance receives the update triggers until Release; it is not owned.
  explicit Kodi20Host(kodi::addon::CInstancePVRClient& instance) : instance_(&instance) {}

  // From now on the triggers go nowhere; the instance is going. Any thread.
  void Release() { instance_ = nullptr; }

  // Kodi's log levels match the host log levels: debug, info, warning (notice), error.
  void Log(int level, const std::string& text) override;
  void Notify(int kind, const std::string& text) override;
  bool ReadFile(const std::string& path, std::string& out) override;
  WriteResult WriteFile(const std::string& path, const std::string& data, size_t& written) override;
  void TransferChannel(void* handle, const nivo::Channel& channel,
                       const std::string& iconPath) override;
  void TransferChannelGroup(void* handle, const std::string& name, bool isRadio) override;
  void TransferChannelGroupMember(void* handle, const std::string& group, unsigned int uid,
                                  unsigned int number) override;
  // channelNumber is not needed: Kodi 20 files the entry under the request's channel.
  void TransferEpgEntry(void* handle, const nivo::TVShow& show,
                        unsigned int channelNumber) override;
  void TriggerEpgUpdate(unsigned int uid) override;
  void TriggerTimerUpdate() override;

 private:
  std::atomic<kodi::addon::CInstancePVRClient*> instance_;
};

}  // namespace kodi20
}  // namespace zu

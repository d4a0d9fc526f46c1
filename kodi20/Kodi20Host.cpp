#include "kodi20/Kodi20Host.h"

#include <algorithm>

#include <kodi/Filesystem.h>
#include <kodi/General.h>

#include "kodi20/Kodi20Records.h"
#include "nivo/TextEncoding.h"
#include "output/Output.h"

namespace zu {
namespace kodi20 {

void Kodi20Host::Log(int level, const std::string& text) {
  const int clamped = std::min(std::max(level, static_cast<int>(ADDON_LOG_DEBUG)),
                               static_cast<int>(ADDON_LOG_ERROR));
  std::string storage;
  kodi::Log(static_cast<ADDON_LOG>(clamped), "%s", nivo::AsUtf8(text, storage).c_str());
}

void Kodi20Host::Notify(int kind, const std::string& text) {
  QueueMsg type = QUEUE_INFO;
  if (kind == NotifyWarning)
    type = QUEUE_WARNING;
  else if (kind == NotifyError)
    type = QUEUE_ERROR;
  // An empty header shows the add-on's name.
  kodi::QueueNotification(type, "", nivo::ToUtf8(text));
}

bool Kodi20Host::ReadFile(const std::string& path, std::string& out) {
  kodi::vfs::CFile file;
  if (!file.OpenFile(path, 0))
    return false;
  const int64_t length = file.GetLength();
  std::string data;
  const nivo::WholeFileRead result = nivo::ReadWholeFile(
      length, [&file](char* buffer, size_t size) { return file.Read(buffer, size); }, data);
  file.Close();
  if (result != nivo::WholeFileRead::Done) {
    ZU_ERROR("NivoTV", "Failed reading file '" + path + "': got " + std::to_string(data.size()) +
                           " of " + std::to_string(length) + " bytes");
    return false;
  }
  out.swap(data);
  return true;
}

nivo::Host::WriteResult Kodi20Host::WriteFile(const std::string& path, const std::string& data,
                                              size_t& written) {
  written = 0;
  kodi::vfs::CFile file;
  if (!file.OpenFileForWrite(path, true))
    return WriteNotOpened;
  while (written < data.size()) {
    const ssize_t done = file.Write(data.data() + written, data.size() - written);
    if (done <= 0)
      break;
    written += static_cast<size_t>(done);
  }
  file.Close();
  if (written != data.size()) {
    // Written in place (the file functions cannot rename): a cut file must not be read later.
    kodi::vfs::DeleteFile(path);
    return WriteCutShort;
  }
  return WriteDone;
}

void Kodi20Host::TransferChannel(void* handle, const nivo::Channel& channel,
                                 const std::string& iconPath) {
  if (handle != nullptr)
    static_cast<kodi::addon::PVRChannelsResultSet*>(handle)->Add(MakeChannel(channel, iconPath));
}

void Kodi20Host::TransferChannelGroup(void* handle, const std::string& name, bool isRadio) {
  if (handle != nullptr)
    static_cast<kodi::addon::PVRChannelGroupsResultSet*>(handle)->Add(
        MakeChannelGroup(name, isRadio));
}

void Kodi20Host::TransferChannelGroupMember(void* handle, const std::string& group,
                                            unsigned int uid, unsigned int number) {
  if (handle != nullptr)
    static_cast<kodi::addon::PVRChannelGroupMembersResultSet*>(handle)->Add(
        MakeChannelGroupMember(group, uid, number));
}

void Kodi20Host::TransferEpgEntry(void* handle, const nivo::TVShow& show, unsigned int) {
  EpgRequest* request = static_cast<EpgRequest*>(handle);
  if (request != nullptr && request->results != nullptr)
    request->results->Add(MakeEpgTag(show, request->channelUid, request->times));
}

void Kodi20Host::TriggerEpgUpdate(unsigned int uid) {
  if (kodi::addon::CInstancePVRClient* instance = instance_.load())
    instance->TriggerEpgUpdate(uid);
}

void Kodi20Host::TriggerTimerUpdate() {
  if (kodi::addon::CInstancePVRClient* instance = instance_.load())
    instance->TriggerTimerUpdate();
}

}  // namespace kodi20
}  // namespace zu

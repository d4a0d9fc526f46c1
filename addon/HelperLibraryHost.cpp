#include "addon/HelperLibraryHost.h"

#include <algorithm>
#include <cstdio>

#include "addon/HostAddonLibrary.h"
#include "addon/HostPvrLibrary.h"
#include "addon/PvrRecords.h"
#include "base/String.h"
#include "nivo/TextEncoding.h"
#include "output/Output.h"

namespace zu {
namespace nivo {

namespace {

// The most text one host call takes: the host's helpers format into a buffer of this size
// including the terminating zero.
const size_t kHostTextBytes = HostAddonLibrary::kTextBufferSize - 1;

}  // namespace

HelperLibraryHost::HelperLibraryHost() = default;

HelperLibraryHost::~HelperLibraryHost() {
  Release();
}

bool HelperLibraryHost::Bind(void* addonHandle) {
  Release();
  addonLibrary_.reset(new HostAddonLibrary);
  if (!addonLibrary_->RegisterMe(addonHandle)) {
    addonLibrary_.reset();
    return false;
  }
  pvrLibrary_.reset(new HostPvrLibrary);
  if (!pvrLibrary_->RegisterMe(addonHandle)) {
    Release();
    return false;
  }
  return true;
}

void HelperLibraryHost::Release() {
  pvrLibrary_.reset();
  addonLibrary_.reset();
}

void HelperLibraryHost::TransferTimer(ADDON_HANDLE handle, const PVR_TIMER& timer) {
  if (pvrLibrary_)
    pvrLibrary_->TransferTimerEntry(handle, &timer);
}

void HelperLibraryHost::Log(int level, const std::string& text) {
  if (!addonLibrary_) {
    fprintf(stderr, "%s\n", text.c_str());
    return;
  }
  std::string storage;
  const std::string& utf8 = AsUtf8(text, storage);
  // A line longer than the host's buffer goes in pieces, each cut on a character boundary.
  size_t offset = 0;
  do {
    // One byte beyond the limit tells whether the cut splits a character.
    std::string piece = utf8.substr(offset, kHostTextBytes + 1);
    const size_t length = Utf8PrefixLength(piece, kHostTextBytes);
    piece.resize(length);
    addonLibrary_->Log(level, "%s", piece.c_str());
    offset += length;
  } while (offset < utf8.size());
}

void HelperLibraryHost::Notify(int kind, const std::string& text) {
  if (!addonLibrary_)
    return;
  // A notification is one short message for the user: an overlong text is cut.
  std::string storage;
  std::string shown = AsUtf8(text, storage).substr(0, kHostTextBytes + 1);
  shown.resize(Utf8PrefixLength(shown, kHostTextBytes));
  addonLibrary_->QueueNotification(kind, "%s", shown.c_str());
}

bool HelperLibraryHost::ReadFile(const std::string& path, std::string& out) {
  if (!addonLibrary_)
    return false;
  void* file = addonLibrary_->OpenFile(path, 0);
  if (file == nullptr)
    return false;
  const int64_t length = addonLibrary_->GetFileLength(file);
  std::string data;
  const WholeFileRead result = ReadWholeFile(
      length,
      [&](char* buffer, size_t size) { return addonLibrary_->ReadFile(file, buffer, size); }, data);
  addonLibrary_->CloseFile(file);
  if (result == WholeFileRead::Failed) {
    ZU_ERROR("NivoTV", "Failed reading file '" + path + "'");
    return false;
  }
  if (result == WholeFileRead::CutShort) {
    ZU_ERROR("NivoTV", "Failed reading file '" + path + "': got " +
                           string::ToString(static_cast<unsigned long>(data.size())) + " of " +
                           string::ToString(static_cast<long>(length)) + " bytes");
    return false;
  }
  out.swap(data);
  return true;
}

Host::WriteResult HelperLibraryHost::WriteFile(const std::string& path, const std::string& data,
                                               size_t& written) {
  written = 0;
  if (!addonLibrary_)
    return WriteNotOpened;
  void* file = addonLibrary_->OpenFileForWrite(path, true);
  if (file == nullptr)
    return WriteNotOpened;
  while (written < data.size()) {
    const ssize_t done =
        addonLibrary_->WriteFile(file, data.data() + written, data.size() - written);
    if (done <= 0)
      break;
    written += static_cast<size_t>(done);
  }
  addonLibrary_->CloseFile(file);
  if (written != data.size()) {
    // The host's file functions cannot rename, so the file was written in place; a cut one
    // would be read as garbage (a cache) or shown broken (a logo).
    addonLibrary_->DeleteFile(path);
    return WriteCutShort;
  }
  return WriteDone;
}

void HelperLibraryHost::TransferChannel(void* handle, const Channel& channel,
                                        const std::string& iconPath) {
  if (!pvrLibrary_)
    return;
  PVR_CHANNEL record;
  FillChannel(record, channel, iconPath);
  pvrLibrary_->TransferChannelEntry(static_cast<ADDON_HANDLE>(handle), &record);
}

void HelperLibraryHost::TransferChannelGroup(void* handle, const std::string& name, bool isRadio) {
  if (!pvrLibrary_)
    return;
  PVR_CHANNEL_GROUP record;
  FillChannelGroup(record, name, isRadio);
  pvrLibrary_->TransferChannelGroup(static_cast<ADDON_HANDLE>(handle), &record);
}

void HelperLibraryHost::TransferChannelGroupMember(void* handle, const std::string& group,
                                                   unsigned int uid, unsigned int number) {
  if (!pvrLibrary_)
    return;
  PVR_CHANNEL_GROUP_MEMBER record;
  FillChannelGroupMember(record, group, uid, number);
  pvrLibrary_->TransferChannelGroupMember(static_cast<ADDON_HANDLE>(handle), &record);
}

void HelperLibraryHost::TransferEpgEntry(void* handle, const TVShow& show,
                                         unsigned int channelNumber) {
  if (!pvrLibrary_)
    return;
  EPG_TAG record;
  EpgTagTexts texts;
  FillEpgTag(record, show, channelNumber, texts);
  pvrLibrary_->TransferEpgEntry(static_cast<ADDON_HANDLE>(handle), &record);
}

void HelperLibraryHost::TriggerEpgUpdate(unsigned int uid) {
  if (pvrLibrary_)
    pvrLibrary_->TriggerEpgUpdate(uid);
}

void HelperLibraryHost::TriggerTimerUpdate() {
  if (pvrLibrary_)
    pvrLibrary_->TriggerTimerUpdate();
}

}  // namespace nivo
}  // namespace zu

#include "nivo/ClientCore.h"

#include <stdexcept>

#include "base/File.h"
#include "base/FileName.h"
#include "base/String.h"
#include "multi_threading/Factory.h"
#include "multi_threading/Message.h"
#include "multi_threading/ScopedLock.h"
#include "nivo/ChannelLogo.h"
#include "nivo/Host.h"
#include "nivo/HttpPageReader.h"
#include "nivo/PrintFormatter.h"
#include "nivo/TraceTarget.h"
#include "output/Output.h"

namespace zu {
namespace nivo {

using multi_threading::ScopedLock;

namespace {

// How often the stop gives up a running request while it waits for the client mutex, and
// for how long it waits each time: a minute in all, twice the page reader's bound.
const int kStopRounds = 600;
const unsigned long kStopRoundMilliseconds = 100;

}  // namespace

ClientCore::ClientCore() {
  // Creating the reader starts its socket server; a failed start is logged there and later
  // requests fail with "failed connecting ".
  pageReader = HttpPageReader::Create();
  mutex = multi_threading::factory::CreateMutex(false);
  if (!mutex)
    throw std::runtime_error("failed creating the client mutex");
}

ClientCore::~ClientCore() {
  DeInit();
  status = StatusPermanentFailure;
  mutex.reset();
  epgUpdateThread.reset();
  epg.clear();
  channelGroups.clear();
  channels.clear();
  if (pageReader)
    pageReader->StopServer();
  pageReader.reset();
  clientPath.clear();
  userPath.clear();
}

int ClientCore::Init(Host& hostInterface, const std::string& user, const std::string& client) {
  ScopedLock lock(mutex);
  InstallLogBridge(hostInterface);
  host = &hostInterface;
  initialised_ = true;
  ZU_INFO("NivoTVPlugin", "Creating the Nivo-TV plugin");
  userPath = user;
  clientPath = client;
  status = StatusOk;
  CreateCacheDirectory("channel_logos", "Failed creating channel logo path");
  CreateCacheDirectory("show_logos", "Failed creating show logo path");
  CreateCacheDirectory("epg", "Failed creating epg path");
  return status;
}

void ClientCore::DeInit() {
  stopping = true;
  if (!initialised_.exchange(false))
    return;
  ZU_INFO("NivoTV", "Destroying the Nivo-TV plugin ...");
  // A host thread inside a request holds the client mutex until the request ends, which a
  // provider that does not answer would make the page reader's whole bound. The stop gives up
  // the request under way instead, and any other the ending call still starts (every walk ends
  // on stopping). The number of rounds only guards against a mutex that keeps failing.
  if (pageReader) {
    for (int round = 0; round < kStopRounds; ++round) {
      if (mutex->TryLock(zu::Time::FromMilliSeconds(kStopRoundMilliseconds))) {
        mutex->Unlock();
        break;
      }
      pageReader->CancelRequest();
    }
  }
  ScopedLock lock(mutex);
  if (epgUpdateThread) {
    // The quit message ends the thread's wait at once; Stop then joins it. The thread never
    // takes the client mutex, so stopping it while holding the mutex cannot deadlock.
    epgUpdateThread->SendThreadMessage(
        std::make_shared<multi_threading::Message>(multi_threading::Message::QuitId));
    epgUpdateThread->Stop();
    epgUpdateThread.reset();
  }
  ZU_INFO("NivoTV", "Destroying done.");
  status = StatusNeedRestart;
  RemoveLogBridge();
  ReleaseHost();
  host = nullptr;
}

int ClientCore::GetStatus() {
  ScopedLock lock(mutex);
  return status;
}

int ClientCore::GetChannels(void* handle, bool radio) {
  ScopedLock lock(mutex);
  EnsureChannelsLoaded();
  for (const auto& entry : channels) {
    if (stopping || host == nullptr)
      break;
    const Channel& channel = entry.second;
    if (channel.isRadio != radio)
      continue;
    host->TransferChannel(handle, channel,
                          channel.isRadio ? std::string() : GetChannelLogoPath(channel));
  }
  return channels.empty() ? ResultNotImplemented : ResultNoError;
}

int ClientCore::GetChannelGroups(void* handle, bool radio) {
  ScopedLock lock(mutex);
  EnsureChannelsLoaded();
  for (const auto& group : channelGroups) {
    if (stopping || host == nullptr)
      break;
    if (group.second == radio)
      host->TransferChannelGroup(handle, group.first, group.second);
  }
  return channels.empty() ? ResultNotImplemented : ResultNoError;
}

int ClientCore::GetChannelGroupMembers(void* handle, const std::string& groupName, bool radio) {
  ScopedLock lock(mutex);
  EnsureChannelsLoaded();
  for (const auto& entry : channels) {
    if (stopping || host == nullptr)
      break;
    const Channel& channel = entry.second;
    if (channel.isRadio == radio && channel.groups.count(groupName) != 0)
      host->TransferChannelGroupMember(handle, groupName, channel.uid, channel.number);
  }
  return ResultNoError;
}

int ClientCore::GetChannelsAmount() {
  ScopedLock lock(mutex);
  EnsureChannelsLoaded();
  return static_cast<int>(channels.size());
}

int ClientCore::GetChannelGroupsAmount() {
  ScopedLock lock(mutex);
  EnsureChannelsLoaded();
  return static_cast<int>(channelGroups.size());
}

bool ClientCore::LoadData(const std::string& path, std::string& data) {
  if (host == nullptr || !host->ReadFile(path, data)) {
    ZU_WARNING("NivoTV", "Unable to open file '" + path + "'");
    return false;
  }
  return true;
}

bool ClientCore::SaveData(const std::string& path, const std::string& data) {
  if (host == nullptr)
    return false;
  size_t written = 0;
  const Host::WriteResult result = host->WriteFile(path, data, written);
  // A full disk or a folder that cannot be written fails every write from then on; the user
  // hears of the first, the log has them all.
  if (result == Host::WriteNotOpened) {
    ZU_RUN_FAILURE(&fileWriteFailures_, "NivoTV", "Failed opening file '" + path + "' for writing");
  } else if (result == Host::WriteCutShort) {
    ZU_RUN_FAILURE(&fileWriteFailures_, "NivoTV",
                   "Failed writing file '" + path + "': wrote " +
                       string::ToString(static_cast<unsigned long>(written)) + " of " +
                       string::ToString(static_cast<unsigned long>(data.size())) + " bytes");
  }
  return result == Host::WriteDone;
}

std::string ClientCore::GetChannelLogoPath(const Channel& channel) const {
  return MakeChannelLogoPath(file_name::AddPaths(userPath, "channel_logos"), channel);
}

void ClientCore::InstallLogBridge(Host& hostInterface) {
  RemoveLogBridge();
  output::SetOuputFormatter(std::make_shared<PrintFormatter>());
  const int levels[] = {Host::LogError, Host::LogNotice, Host::LogInfo, Host::LogDebug};
  for (int level : levels)
    logTargets_.push_back(std::make_shared<TraceTarget>(&hostInterface, level));
  output::SetErrorTarget(logTargets_[0]);
  output::SetWarningTarget(logTargets_[1]);
  output::SetInfoTarget(logTargets_[2]);
  output::SetTraceTarget(logTargets_[3]);
}

void ClientCore::RemoveLogBridge() {
  output::SetErrorTarget(output::PrintTargetPtr());
  output::SetWarningTarget(output::PrintTargetPtr());
  output::SetInfoTarget(output::PrintTargetPtr());
  output::SetTraceTarget(output::PrintTargetPtr());
  output::SetOuputFormatter(output::PrintFormatterPtr());
  // A line that took a target before the routing changed may still be on its way to the
  // host; Detach waits for it, so nothing reaches the host once it is released.
  for (const SharedPtr<TraceTarget>& target : logTargets_)
    target->Detach();
  logTargets_.clear();
}

void ClientCore::CreateCacheDirectory(const std::string& name, const char* failure) {
  if (!file::CreateDirRecursive(file_name::AddPaths(userPath, name)))
    ZU_ERROR("NivoTV", failure);
}

}  // namespace nivo
}  // namespace zu

#include "nivo/ClientCore.h"

#include <stdexcept>
#include <utility>

#include "base/File.h"
#include "base/FileName.h"
#include "base/String.h"
#include "multi_threading/Factory.h"
#include "multi_threading/Message.h"
#include "multi_threading/ScopedLock.h"
#include "nivo/GuideFetcher.h"
#include "nivo/GuidePrefetch.h"
#include "nivo/GuideStore.h"
#include "nivo/Host.h"
#include "nivo/HostFiles.h"
#include "nivo/LogoStore.h"
#include "nivo/ShowTexts.h"
#include "output/Output.h"

namespace zu {
namespace nivo {

using multi_threading::ScopedLock;

namespace {

// How often the stop gives up a running request while it waits for the client lock, and for
// how long it waits each time: a minute in all, twice the page reader's bound.
const int kStopRounds = 600;
const unsigned long kStopRoundMilliseconds = 100;
// The most days of guide the prefetch covers either way.
const int kMaxPrefetchDays = 14;
const time_t kSecondsPerDay = 24 * 3600;

// The prefetch's share of days of the host's window (negative: unlimited).
time_t PrefetchSeconds(int days) {
  return (days < 0 || days > kMaxPrefetchDays ? kMaxPrefetchDays : days) * kSecondsPerDay;
}

}  // namespace

ClientCore::ClientCore() : ClientCore(Options()) {}

ClientCore::ClientCore(const Options& options)
    : options_(options), pastDays_(options.epgPastDays), futureDays_(options.epgFutureDays) {
  mutex_ = multi_threading::factory::CreateMutex(false);
  if (!mutex_)
    throw std::runtime_error("failed creating the client mutex");
  // Without a running server the readers' requests fail with "failed connecting ".
  server_ = HttpPageReader::StartSocketServer();
  pageReader_ = HttpPageReader::Create(options_.pageReader, server_);
  if (options_.prefetchReaders > 0) {
    std::vector<SharedPtr<HttpPageReader>> readers;
    for (unsigned int i = 0; i < options_.prefetchReaders; ++i)
      readers.push_back(HttpPageReader::Create(options_.pageReader, server_));
    prefetch_.reset(
        new GuidePrefetch(std::move(readers), showListFailures_, showDetailsFailures_,
                          options_.prefetchInBackground));
  }
}

ClientCore::~ClientCore() {
  DeInit();
  // A prefetch a load started while the stop ran is stopped here at the latest.
  prefetch_.reset();
  status_ = StatusPermanentFailure;
  // A thread a request started while the stop ran is stopped here at the latest.
  if (epgUpdateThread_) {
    epgUpdateThread_->SendThreadMessage(
        std::make_shared<multi_threading::Message>(multi_threading::Message::QuitId));
    epgUpdateThread_->Stop();
    epgUpdateThread_.reset();
  }
  fetcher_.reset();
  logos_.reset();
  guide_.reset();
  catalogue_.reset();
  files_.reset();
  if (pageReader_)
    pageReader_->StopServer();
  pageReader_.reset();
  if (server_)
    server_->Stop(true);
  server_.reset();
}

int ClientCore::Init(Host& host, const std::string& userPath, const std::string& clientPath) {
  ScopedLock lock(mutex_);
  logBridge_.Install(host);
  host_ = &host;
  initialised_ = true;
  ZU_INFO("NivoTVPlugin", "Creating the Nivo-TV plugin");
  files_.reset(new HostFiles(host));
  catalogue_.reset(new ChannelCatalogue(*files_, pageReader_, userPath, clientPath,
                                        [this](const std::string& text) { Notify(text); }));
  guide_.reset(new GuideStore(*files_, userPath));
  logos_.reset(new LogoStore(*files_, pageReader_, userPath));
  fetcher_.reset(new GuideFetcher(pageReader_, showListFailures_, showDetailsFailures_,
                                  options_.epgDetailsBudget));
  status_ = StatusOk;
  CreateCacheDirectory(userPath, "channel_logos", "Failed creating channel logo path");
  CreateCacheDirectory(userPath, "show_logos", "Failed creating show logo path");
  CreateCacheDirectory(userPath, "epg", "Failed creating epg path");
  return status_;
}

void ClientCore::DeInit() {
  stopping_ = true;
  if (!initialised_.exchange(false))
    return;
  ZU_INFO("NivoTV", "Destroying the Nivo-TV plugin ...");
  // Before the client lock: a guide request holding it may wait for a channel the prefetch
  // is fetching.
  if (prefetch_)
    prefetch_->Stop();
  GiveUpRequestsUntilUnlocked();
  ScopedLock lock(mutex_);
  if (epgUpdateThread_) {
    // The quit message ends the thread's wait at once; Stop then joins it. The thread never
    // takes the client lock, so stopping it while holding the lock cannot deadlock.
    epgUpdateThread_->SendThreadMessage(
        std::make_shared<multi_threading::Message>(multi_threading::Message::QuitId));
    epgUpdateThread_->Stop();
    epgUpdateThread_.reset();
  }
  ZU_INFO("NivoTV", "Destroying done.");
  status_ = StatusNeedRestart;
  logBridge_.Remove();
  if (files_)
    files_->Release();
  host_ = nullptr;
}

void ClientCore::GiveUpRequestsUntilUnlocked() {
  // A host thread inside a request holds the client lock until the request ends, which a
  // provider that does not answer would make the page reader's whole bound. The stop gives up
  // the request under way instead, and any other the ending call still starts (every walk ends
  // on stopping). The number of rounds only guards against a lock that keeps failing.
  if (!pageReader_)
    return;
  for (int round = 0; round < kStopRounds; ++round) {
    if (mutex_->TryLock(zu::Time::FromMilliSeconds(kStopRoundMilliseconds))) {
      mutex_->Unlock();
      return;
    }
    pageReader_->CancelRequest();
  }
}

int ClientCore::GetStatus() {
  ScopedLock lock(mutex_);
  return status_;
}

void ClientCore::EnsureChannelsLoaded() {
  ScopedLock lock(mutex_);
  if (IsRunning() && catalogue_->EnsureLoaded()) {
    const ChannelTablePtr table = catalogue_->Table();
    guide_->LoadEPG(table->channels);
    StartPrefetch(*table);
  }
}

void ClientCore::StartPrefetch(const ChannelTable& table) {
  if (!prefetch_ || stopping_ || table.channels.empty())
    return;
  const time_t now = time(nullptr);
  prefetch_->Start(*guide_, *logos_, table.channels, now - PrefetchSeconds(pastDays_),
                   now + PrefetchSeconds(futureDays_));
}

ChannelTablePtr ClientCore::GetChannelTable() {
  ScopedLock lock(mutex_);
  EnsureChannelsLoaded();
  return catalogue_ ? catalogue_->Table() : std::make_shared<const ChannelTable>();
}

int ClientCore::GetChannels(void* handle, bool radio) {
  ScopedLock lock(mutex_);
  const ChannelTablePtr table = GetChannelTable();
  for (const auto& entry : table->channels) {
    if (stopping_ || !IsRunning())
      break;
    const Channel& channel = entry.second;
    if (channel.isRadio != radio)
      continue;
    host_->TransferChannel(handle, channel,
                           channel.isRadio ? std::string() : logos_->GetChannelLogoPath(channel));
  }
  return table->channels.empty() ? ResultNotImplemented : ResultNoError;
}

int ClientCore::GetChannelGroups(void* handle, bool radio) {
  ScopedLock lock(mutex_);
  const ChannelTablePtr table = GetChannelTable();
  for (const auto& group : table->groups) {
    if (stopping_ || !IsRunning())
      break;
    if (group.second == radio)
      host_->TransferChannelGroup(handle, group.first, group.second);
  }
  return table->channels.empty() ? ResultNotImplemented : ResultNoError;
}

int ClientCore::GetChannelGroupMembers(void* handle, const std::string& groupName, bool radio) {
  ScopedLock lock(mutex_);
  const ChannelTablePtr table = GetChannelTable();
  // The host has its channels; its guide comes next.
  if (prefetch_)
    prefetch_->Hurry();
  for (const auto& entry : table->channels) {
    if (stopping_ || !IsRunning())
      break;
    const Channel& channel = entry.second;
    if (channel.isRadio == radio && channel.groups.count(groupName) != 0)
      host_->TransferChannelGroupMember(handle, groupName, channel.uid, channel.number);
  }
  return ResultNoError;
}

int ClientCore::GetChannelsAmount() {
  return static_cast<int>(GetChannelTable()->channels.size());
}

int ClientCore::GetChannelGroupsAmount() {
  return static_cast<int>(GetChannelTable()->groups.size());
}

bool ClientCore::UpdateEPGForChannel(void* handle, unsigned int uid, time_t start, time_t end) {
  ScopedLock lock(mutex_);
  const ChannelTablePtr table = GetChannelTable();
  if (!IsRunning())
    return false;
  // The host has come to its guide: the prefetch runs at the host's priority from now on.
  if (prefetch_)
    prefetch_->Hurry();
  const Channel* channel = FindChannel(*table, uid);
  if (channel == nullptr)
    return false;
  CountGuideRequest(*table);
  if (channel->isRadio)
    return true;
  // A missing logo is downloaded now; its failure does not affect the guide.
  logos_->UpdateChannelLogo(*channel);

  const boost::posix_time::ptime windowStart = LocalTime(start);
  const boost::posix_time::ptime windowEnd = LocalTime(end);
  GuideStore::Update update = guide_->BeginUpdate(*channel, windowStart);
  TVShows fetched = fetcher_->FetchShows(*channel, update.FetchStart(), windowEnd);
  const std::vector<TVShow*>& shows = update.Merge(std::move(fetched));
  if (detailedMode_ && fetcher_->ReadDetails(*channel, shows, stopping_))
    update.ShowsChanged();
  HandOver(handle, shows, channel->number);
  // A request that ended before this point (an exception) leaves the stored guide as it was.
  update.Commit(options_.rewriteUnchangedGuide);
  return true;
}

const Channel* ClientCore::FindChannel(const ChannelTable& table, unsigned int uid) {
  const Channels::const_iterator found = table.channels.find(uid);
  if (found == table.channels.end()) {
    ZU_ERROR("NivoTV", "Channel with id " + string::ToString(uid) + " not found");
    return nullptr;
  }
  return &found->second;
}

void ClientCore::CountGuideRequest(const ChannelTable& table) {
  ++epgRequestCount_;
  if (epgRequestCount_ == table.channels.size())
    StartEPGUpdateThread(table);
}

void ClientCore::StartEPGUpdateThread(const ChannelTable& table) {
  // A request that slips in while the client shuts down must not leave a thread behind that
  // nobody stops.
  if (epgUpdateThread_ || stopping_ || !IsRunning())
    return;
  epgUpdateThread_ = multi_threading::factory::CreateThread("EPG_UpdateThread", 0,
                                                            multi_threading::Thread::Normal);
  if (!epgUpdateThread_)
    return;  // logged by the factory
  std::vector<unsigned int> uids;
  uids.reserve(table.channels.size());
  for (const auto& entry : table.channels)
    uids.push_back(entry.first);
  EPGUpdateThread::Client& client = *this;
  epgUpdateThread_->Start(
      std::make_shared<EPGUpdateThread>(client, std::move(uids), options_.epgUpdateWait));
}

void ClientCore::HandOver(void* handle, const std::vector<TVShow*>& shows,
                          unsigned int channelNumber) {
  TVShow decoded;
  for (const TVShow* show : shows) {
    if (!IsRunning())
      break;
    host_->TransferEpgEntry(handle, ShowForHost(*show, decoded), channelNumber);
  }
}

void ClientCore::SwitchToDetailedMode() {
  detailedMode_ = true;
}

void ClientCore::Notify(const std::string& text) {
  if (host_ != nullptr)
    host_->Notify(Host::NotifyInfo, text);
}

void ClientCore::TriggerRefresh(unsigned int uid) {
  if (host_ != nullptr)
    host_->TriggerEpgUpdate(uid);
}

bool ClientCore::IsStopping() const {
  return stopping_;
}

void ClientCore::CreateCacheDirectory(const std::string& userPath, const std::string& name,
                                      const char* failure) {
  if (!file::CreateDirRecursive(file_name::AddPaths(userPath, name)))
    ZU_ERROR("NivoTV", failure);
}

}  // namespace nivo
}  // namespace zu

// The programme guide of the client: the guide cache, the host's guide requests and the guide
// update thread.

#include <ctime>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <utility>
#include <vector>

#include <boost/date_time/posix_time/posix_time.hpp>

#include "base/File.h"
#include "base/FileName.h"
#include "base/String.h"
#include "multi_threading/Factory.h"
#include "multi_threading/ScopedLock.h"
#include "nivo/CacheArchive.h"
#include "nivo/ClientCore.h"
#include "nivo/EPGUpdateThread.h"
#include "nivo/FailureRun.h"
#include "nivo/GuideMerge.h"
#include "nivo/Host.h"
#include "nivo/Json.h"
#include "nivo/JsonReader.h"
#include "nivo/ShowDetailsDocument.h"
#include "output/Output.h"

namespace zu {
namespace nivo {

namespace {

// The local wall-clock time of a calendar time. The provider's show times are local
// wall-clock times and go back to the host through mktime, so the host's window has to come
// in the same way for both to meet. Throws std::runtime_error when the time has no local
// date (or one outside the years 1400 to 9999 that a show time can hold).
boost::posix_time::ptime LocalTime(time_t time) {
  struct tm broken = {};
  if (localtime_r(&time, &broken) != nullptr) {
    try {
      return boost::posix_time::ptime_from_tm(broken);
    } catch (const std::out_of_range&) {
    }
  }
  throw std::runtime_error("could not convert calendar time to local time");
}

// Runs one call of a show reader; an exception of it is logged through failures as prefix +
// " (" + its text + ")". False when it failed. A syntax error of a document is reported with
// its short reason.
template <class Call>
bool CallShowReader(const Call& call, const std::string& prefix, FailureRun* failures) {
  try {
    call();
    return true;
  } catch (const JsonSyntaxError& e) {
    ZU_RUN_FAILURE(failures, "NivoTV", prefix + " (" + e.Reason() + ")");
  } catch (const std::exception& e) {
    ZU_RUN_FAILURE(failures, "NivoTV", prefix + " (" + e.what() + ")");
  } catch (...) {
    ZU_RUN_FAILURE(failures, "NivoTV", prefix + " (unknown exception)");
  }
  return false;
}

// Hands a show to the host. Shows are kept as the provider delivered them, and their title
// and subtitle are decoded when the details are read; until then the host gets them decoded
// here, so that its guide never shows "&amp;" where the provider means "&".
void TransferShow(Host& host, void* handle, const TVShow& show, unsigned int channelNumber) {
  if (show.detailsRead ||
      (show.title.find('&') == std::string::npos && show.subTitle.find('&') == std::string::npos)) {
    host.TransferEpgEntry(handle, show, channelNumber);
    return;
  }
  TVShow shown(show);
  shown.title = DecodeEntities(show.title);
  shown.subTitle = DecodeEntities(show.subTitle);
  host.TransferEpgEntry(handle, shown, channelNumber);
}

}  // namespace

std::string ClientCore::GetEPGCacheFileName(const Channel& channel) const {
  return file_name::AddFileNameAndPath(file_name::AddPaths(userPath, "epg"),
                                       EPGCacheFileName(channel.uid));
}

std::string ClientCore::EPGCacheFileName(unsigned int uid) {
  return "channel_" + string::ToString(uid) + ".zug";
}

bool ClientCore::ListEPGCacheFiles(std::set<std::string>& names) const {
  std::error_code error;
  std::filesystem::directory_iterator entry(file_name::AddPaths(userPath, "epg"), error);
  if (error)
    return false;
  for (; entry != std::filesystem::directory_iterator(); entry.increment(error)) {
    if (error)
      return false;
    names.insert(entry->path().filename().string());
  }
  return !error;
}

void ClientCore::LoadEPG() {
  multi_threading::ScopedLock lock(mutex);
  ZU_INFO("NivoTV", "Loading EPG from cache ...");
  // One look at the directory names the files there are, so the channels without one (every
  // channel at the first start, the radio channels always) cost no look of their own. When
  // the directory cannot be listed, every channel's file is looked for.
  std::set<std::string> present;
  const bool listed = ListEPGCacheFiles(present);
  for (const auto& entry : channels) {
    if (listed && present.count(EPGCacheFileName(entry.first)) == 0)
      continue;
    const std::string path = GetEPGCacheFileName(entry.second);
    if (!file::Exists(path))
      continue;
    std::string text;
    if (!LoadData(path, text))
      continue;
    // A broken file (cut short by a crash, or garbage) must not keep the other channels'
    // guides unloaded; the channel's next guide request overwrites it.
    try {
      epg[entry.first] = ReadShowsArchive(text);
    } catch (const std::exception& e) {
      ZU_ERROR("NivoTV", "Skipping unreadable EPG cache file '" + path + "' (" + e.what() + ")");
    }
  }
  ZU_INFO("NivoTV", "Loading EPG from cache done.");
}

bool ClientCore::UpdateEPGForChannel(void* handle, unsigned int uid, time_t startTime,
                                     time_t endTime) {
  multi_threading::ScopedLock lock(mutex);
  if (channels.empty())
    EnsureChannelsLoaded();
  Channels::const_iterator found = channels.find(uid);
  if (found == channels.end()) {
    ZU_ERROR("NivoTV", "Channel with id " + string::ToString(uid) + " not found");
    return false;
  }
  const Channel& channel = found->second;

  ++epgRequestCount;
  if (epgRequestCount == channels.size())
    StartEPGUpdateThread();

  if (channel.isRadio)
    return true;

  // A missing logo is downloaded now; its failure does not affect the guide.
  UpdateChannelLogo(channel);

  const boost::posix_time::ptime windowStart = LocalTime(startTime);
  const boost::posix_time::ptime windowEnd = LocalTime(endTime);

  // The fetch starts at the latest cached end, also of shows that ended before the window, so
  // the cached part of the window is not requested again.
  TVShows& stored = epg[uid];
  boost::posix_time::ptime fetchFrom = windowStart;
  for (const TVShow& show : stored) {
    if (!show.end.is_special() && show.end > fetchFrom)
      fetchFrom = show.end;
  }

  JsonReader reader(pageReader);
  TVShows fetched;
  CallShowReader(
      [&] {
        fetched = reader.ReadShowsOfTVChannel(channel, fetchFrom, windowEnd, &showListFailures_);
      },
      "Failed reading EPG of " + channel.name, &showListFailures_);

  // The stored guide stays as it is (but for details read into its shows) until the host has
  // the new one: a request that ends in an exception leaves it whole. Then the shows of the new
  // guide are moved, not copied, out of the old one and the fetch.
  const std::vector<TVShow*> shows = MergeShows(stored, windowStart, fetched);
  if (detailedEpgTriggered)
    ReadEPGDetails(channel, shows);
  if (host != nullptr) {
    for (const TVShow* show : shows)
      TransferShow(*host, handle, *show, channel.number);
  }
  TVShows guide;
  guide.reserve(shows.size());
  for (TVShow* show : shows)
    guide.push_back(std::move(*show));
  stored = std::move(guide);
  SaveData(GetEPGCacheFileName(channel), WriteShowsArchive(stored));
  return true;
}

void ClientCore::ReadEPGDetails(const Channel& channel, const std::vector<TVShow*>& shows) {
  const boost::posix_time::ptime now = LocalTime(time(nullptr));
  const zu::Time passStart = zu::Time::NowMonotonic();
  JsonReader reader(pageReader);
  for (TVShow* show : shows) {
    if (stopping)
      break;
    // Asking for event 0 brings some other show's details, or none.
    if (show->id == 0 || show->detailsRead || !(show->start > now))
      continue;
    if (!CallShowReader([&] { reader.ReadShowDetails(*show, &showDetailsFailures_); },
                        "Failed reading detailed EPG of " + channel.name + ":" + show->title,
                        &showDetailsFailures_))
      break;
    // The pass holds the client mutex; against a provider that lets every request run into
    // the page reader's bound it would otherwise hold it for that bound once per show.
    if (zu::Time::NowMonotonic() - passStart >= epgDetailsBudget)
      break;
  }
}

void ClientCore::StartEPGUpdateThread() {
  // A request that slips in while the client shuts down must not leave a thread behind that
  // nobody stops.
  if (epgUpdateThread || stopping || host == nullptr)
    return;
  epgUpdateThread = multi_threading::factory::CreateThread("EPG_UpdateThread", 0,
                                                           multi_threading::Thread::Normal);
  if (!epgUpdateThread)
    return;  // logged by the factory
  // The table no longer changes once loaded; the thread gets its own copy of the ids so it
  // never reads the client's table.
  std::vector<unsigned int> uids;
  uids.reserve(channels.size());
  for (const auto& entry : channels)
    uids.push_back(entry.first);
  epgUpdateThread->Start(std::make_shared<EPGUpdateThread>(this, std::move(uids), epgUpdateWait));
}

}  // namespace nivo
}  // namespace zu

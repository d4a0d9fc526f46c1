#include "nivo/LogoStore.h"

#include <utility>

#include "base/File.h"
#include "base/FileName.h"
#include "nivo/ChannelLogo.h"
#include "nivo/HostFiles.h"
#include "nivo/JsonReader.h"

namespace zu {
namespace nivo {

LogoStore::LogoStore(HostFiles& files, SharedPtr<HttpPageReader> pageReader,
                     const std::string& userPath)
    : files_(files),
      pageReader_(std::move(pageReader)),
      logoDirectory_(file_name::AddPaths(userPath, "channel_logos")) {}

std::string LogoStore::GetChannelLogoPath(const Channel& channel) const {
  return MakeChannelLogoPath(logoDirectory_, channel);
}

void LogoStore::UpdateChannelLogo(const Channel& channel) {
  UpdateChannelLogo(channel, pageReader_);
}

void LogoStore::UpdateChannelLogo(const Channel& channel,
                                  const SharedPtr<HttpPageReader>& pageReader) {
  if (channel.isRadio)
    return;
  // Downloaded once: a logo file that exists is never refreshed. One that could not be
  // written would fail again; the host shows the channel without it.
  const std::string path = GetChannelLogoPath(channel);
  FailureRun* invalidUrl = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (unwritable_.count(path) != 0 || !downloading_.insert(channel.uid).second)
      return;
    // Entries of a map stay where they are, so the run can be used after the lock.
    invalidUrl = &invalidUrls_[channel.uid];
  }
  struct Done {
    LogoStore& store;
    unsigned int uid;
    ~Done() {
      std::lock_guard<std::mutex> lock(store.mutex_);
      store.downloading_.erase(uid);
    }
  } done{*this, channel.uid};
  if (file::Exists(path))
    return;
  JsonReader reader(pageReader);
  reader.ReadTVStationImage(
      channel,
      [this](const Channel& owner, const std::string& image) { SaveChannelLogo(owner, image); },
      &downloadFailures_, invalidUrl);
}

void LogoStore::SaveChannelLogo(const Channel& channel, const std::string& data) {
  const std::string path = GetChannelLogoPath(channel);
  if (!files_.SaveData(path, data)) {
    std::lock_guard<std::mutex> lock(mutex_);
    unwritable_.insert(path);
  }
}

}  // namespace nivo
}  // namespace zu

#pragma once

#include <map>
#include <mutex>
#include <set>
#include <string>

#include "base/SharedPtr.h"
#include "nivo/Channel.h"
#include "nivo/FailureRun.h"

namespace zu {
namespace nivo {

class HostFiles;
class HttpPageReader;

// The channel logos, kept as files in "channel_logos" below the user path and downloaded
// once from each TV channel's logo URL. Any thread may call any member; a download blocks the
// calling thread. A logo is downloaded by one thread at a time.
class LogoStore {
 public:
  // files must outlive the store.
  LogoStore(HostFiles& files, SharedPtr<HttpPageReader> pageReader, const std::string& userPath);

  LogoStore(const LogoStore&) = delete;
  LogoStore& operator=(const LogoStore&) = delete;

  // The local logo file of a TV channel (it need not exist yet).
  std::string GetChannelLogoPath(const Channel& channel) const;

  // Downloads the logo of a TV channel whose logo file does not exist yet and saves it; radio
  // channels, existing files and logos that could not be written are left alone. A failed
  // download leaves no file, so the next call tries again; while downloads keep failing only
  // the first failure is an Error, and an invalid logo URL is an Error once per channel. A
  // logo that could not be written is not downloaded again while the store lives. A logo
  // whose download is under way on another thread is left to it.
  void UpdateChannelLogo(const Channel& channel);
  // The same through pageReader, a reader of the caller's.
  void UpdateChannelLogo(const Channel& channel, const SharedPtr<HttpPageReader>& pageReader);

 private:
  // Writes data to the channel's logo file (see HostFiles::SaveData).
  void SaveChannelLogo(const Channel& channel, const std::string& data);

  HostFiles& files_;
  SharedPtr<HttpPageReader> pageReader_;
  const std::string logoDirectory_;

  // Logo downloads: a run that each success ends.
  FailureRun downloadFailures_;
  // Guards the three members below; never held during a download.
  std::mutex mutex_;
  // The channels whose logo is being downloaded.
  std::set<unsigned int> downloading_;
  // Invalid logo URLs, per channel uid: an Error once in the store's life.
  std::map<unsigned int, FailureRun> invalidUrls_;
  // Logo files that could not be written.
  std::set<std::string> unwritable_;
};

}  // namespace nivo
}  // namespace zu

#include "host/driver/UserCache.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include <boost/date_time/posix_time/conversion.hpp>

#include "nivo/CacheArchive.h"

namespace zu {
namespace host {
namespace {

namespace fs = std::filesystem;

// The regular files of a directory: how many and their bytes. A missing directory has none.
void Sum(const fs::path& directory, size_t& files, uint64_t& bytes) {
  std::error_code error;
  for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
    std::error_code sizeError;
    if (!it->is_regular_file(sizeError))
      continue;
    uintmax_t size = it->file_size(sizeError);
    if (sizeError)
      continue;
    ++files;
    bytes += size;
  }
}

}  // namespace

UserCache::UserCache(std::string userPath) : userPath_(std::move(userPath)) {}

CacheSizes UserCache::Measure() const {
  CacheSizes sizes;
  std::error_code error;
  uintmax_t channels = fs::file_size(fs::path(userPath_) / "channels.zug", error);
  sizes.channels = error ? 0 : channels;
  Sum(fs::path(userPath_) / "epg", sizes.guideFiles, sizes.guide);
  Sum(fs::path(userPath_) / "channel_logos", sizes.logoFiles, sizes.logos);
  return sizes;
}

bool UserCache::ReadShows(unsigned int uid, nivo::TVShows& shows, std::string& error) const {
  shows.clear();
  const std::string path = userPath_ + "/epg/channel_" + std::to_string(uid) + ".zug";
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "no guide cache " + path;
    return false;
  }
  std::stringstream text;
  text << in.rdbuf();
  try {
    shows = nivo::ReadShowsArchive(text.str());
  } catch (const std::exception& failure) {
    error = path + " is not a guide cache: " + failure.what();
    shows.clear();
    return false;
  }
  return true;
}

size_t UserCache::DetailedShows(unsigned int uid) const {
  nivo::TVShows shows;
  std::string error;
  ReadShows(uid, shows, error);
  size_t detailed = 0;
  for (const nivo::TVShow& show : shows)
    detailed += show.detailsRead ? 1 : 0;
  return detailed;
}

time_t UserCache::ToTime(const boost::posix_time::ptime& when) {
  if (when.is_special())
    return 0;
  struct tm broken = boost::posix_time::to_tm(when);
  broken.tm_isdst = -1;
  return mktime(&broken);
}

}  // namespace host
}  // namespace zu

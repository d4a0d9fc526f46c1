#include "host/driver/CacheSizes.h"

#include <filesystem>
#include <system_error>

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

CacheSizes MeasureCaches(const std::string& userPath) {
  CacheSizes sizes;
  std::error_code error;
  uintmax_t channels = fs::file_size(fs::path(userPath) / "channels.zug", error);
  sizes.channels = error ? 0 : channels;
  Sum(fs::path(userPath) / "epg", sizes.guideFiles, sizes.guide);
  Sum(fs::path(userPath) / "channel_logos", sizes.logoFiles, sizes.logos);
  return sizes;
}

}  // namespace host
}  // namespace zu

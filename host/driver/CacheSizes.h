#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zu {
namespace host {

// Sizes of the add-on's caches on disk, for reports.
struct CacheSizes {
  uint64_t channels = 0;  // channels.zug
  size_t guideFiles = 0;  // epg/
  uint64_t guide = 0;
  size_t logoFiles = 0;  // channel_logos/
  uint64_t logos = 0;
  uint64_t Total() const { return channels + guide + logos; }
};

// Measures the caches in the add-on's user data path; what is missing counts as empty.
CacheSizes MeasureCaches(const std::string& userPath);

}  // namespace host
}  // namespace zu

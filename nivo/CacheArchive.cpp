#include "nivo/CacheArchive.h"

#include "nivo/imp/CacheTextReader.h"
#include "nivo/imp/CacheTextWriter.h"

namespace zu {
namespace nivo {

std::string WriteChannelsArchive(const Channels& channels) {
  return imp::CacheTextWriter::Write(channels);
}

Channels ReadChannelsArchive(const std::string& text) {
  return imp::CacheTextReader::ReadChannels(text);
}

std::string WriteShowsArchive(const TVShows& shows) {
  return imp::CacheTextWriter::Write(shows);
}

TVShows ReadShowsArchive(const std::string& text) {
  return imp::CacheTextReader::ReadShows(text);
}

}  // namespace nivo
}  // namespace zu

#include "nivo/CacheArchive.h"

#include <locale>
#include <sstream>

#include <boost/archive/archive_exception.hpp>
#include <boost/serialization/map.hpp>
#include <boost/serialization/utility.hpp>
#include <boost/serialization/vector.hpp>

#include "nivo/imp/CacheIArchive.h"
#include "nivo/imp/CacheTextReader.h"
#include "nivo/imp/CacheTextWriter.h"

namespace zu {
namespace nivo {

namespace {

template <class Root>
void ReadArchive(const std::string& text, Root& root) {
  std::istringstream in(text);
  in.imbue(std::locale::classic());
  imp::CacheIArchive archive(in);
  try {
    std::string signature;
    try {
      archive >> signature;
    } catch (const std::exception&) {
      signature.clear();
    }
    if (signature != imp::kArchiveSignature) {
      throw CacheArchiveError(text.empty() ? "cache archive: empty text"
                                           : "cache archive: wrong signature");
    }
    boost::archive::library_version_type version;
    archive >> version;
    if (version != boost::archive::library_version_type(imp::kArchiveVersion)) {
      throw CacheArchiveError("cache archive: unsupported archive version " +
                              std::to_string(static_cast<unsigned int>(version)));
    }
    archive.set_library_version(version);
    archive >> root;
    if (!archive.OnlyWhiteSpaceLeft()) {
      throw CacheArchiveError("cache archive: unexpected data after the archive at byte " +
                              std::to_string(archive.Position()));
    }
  } catch (const CacheArchiveError&) {
    throw;
  } catch (const boost::archive::archive_exception& e) {
    if (e.code == boost::archive::archive_exception::input_stream_error) {
      if (in.eof())
        throw CacheArchiveError("cache archive: truncated text");
      throw CacheArchiveError("cache archive: garbled text at byte " +
                              std::to_string(archive.Position()));
    }
    throw CacheArchiveError(std::string("cache archive: ") + e.what());
  } catch (const std::exception& e) {
    // Malformed dates and unknown class versions.
    throw CacheArchiveError(std::string("cache archive: ") + e.what() + " at byte " +
                            std::to_string(archive.Position()));
  }
}

}  // namespace

std::string WriteChannelsArchive(const Channels& channels) {
  return imp::CacheTextWriter::Write(channels);
}

Channels ReadChannelsArchive(const std::string& text) {
  Channels channels;
  if (!imp::CacheTextReader::Read(text, channels))
    imp::ReadThroughArchive(text, channels);
  return channels;
}

std::string WriteShowsArchive(const TVShows& shows) {
  return imp::CacheTextWriter::Write(shows);
}

TVShows ReadShowsArchive(const std::string& text) {
  TVShows shows;
  if (!imp::CacheTextReader::Read(text, shows))
    imp::ReadThroughArchive(text, shows);
  return shows;
}

namespace imp {

void ReadThroughArchive(const std::string& text, Channels& channels) {
  ReadArchive(text, channels);
}

void ReadThroughArchive(const std::string& text, TVShows& shows) {
  ReadArchive(text, shows);
}

}  // namespace imp

}  // namespace nivo
}  // namespace zu

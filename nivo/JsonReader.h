#pragma once

#include <functional>
#include <string>

#include <boost/date_time/posix_time/ptime.hpp>

#include "base/SharedPtr.h"
#include "nivo/Channel.h"
#include "nivo/TVShow.h"

namespace zu {
namespace nivo {

class FailureRun;
class HttpPageReader;

// Reads the provider's documents: fetches each page through the client's page reader and
// turns it into channels and shows. Every operation blocks the calling thread for its requests
// and logs what failed. The caller serialises the calls (one page reader serves one request
// at a time).
//
// The guide's operations take an optional FailureRun through which they log the failures of
// their requests and documents (an Error only when it starts a run, see FailureRun) and which
// they end when a request succeeds; without one, every failure is an Error.
class JsonReader {
 public:
  // Receives a downloaded channel logo (the image bytes as received).
  using TVChannelImageCB = std::function<void(const Channel&, const std::string&)>;

  explicit JsonReader(SharedPtr<HttpPageReader> pageReader);

  // The provider's station list merged with previous (stream URL and radio flag carry over),
  // with stream URLs and playlist groups from the three playlists. Never fails outward: on any
  // failure it logs why and returns a copy of previous.
  Channels ReadTVStations(const Channels& previous);
  // Sets stream URLs and adds playlist groups from the provider's three playlists, in order;
  // stops at the first playlist that cannot be read.
  void UpdateTVStationsFromM3UFiles(Channels& channels);
  // Downloads the channel's logo and hands it to callback; without a logo URI nothing happens.
  // A logo URI that is not a URL is logged through invalidUrl, a failed download through
  // failures.
  void ReadTVStationImage(const Channel& channel, const TVChannelImageCB& callback,
                          FailureRun* failures = nullptr, FailureRun* invalidUrl = nullptr);

  // The shows of the channel in [from, to), fetched in pieces of at most 24 whole hours. A
  // missing page or station record ends the fetch with the shows read so far (pageMissing,
  // when given, tells the missing page); malformed documents raise the JSON layer's or the
  // time parser's exceptions. A piece that holds shows ends the run of failures.
  TVShows ReadShowsOfTVChannel(const Channel& channel, const boost::posix_time::ptime& from,
                               const boost::posix_time::ptime& to, FailureRun* failures = nullptr,
                               bool* pageMissing = nullptr);
  // Completes the show with its details; a missing page leaves it unchanged, malformed
  // documents raise the JSON layer's exceptions and leave it unchanged too. Details read end
  // the run of failures.
  void ReadShowDetails(TVShow& show, FailureRun* failures = nullptr);

 private:
  SharedPtr<HttpPageReader> pageReader_;
};

}  // namespace nivo
}  // namespace zu

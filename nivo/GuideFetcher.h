#pragma once

#include <atomic>
#include <vector>

#include <boost/date_time/posix_time/ptime.hpp>

#include "base/SharedPtr.h"
#include "multi_threading/Time.h"
#include "nivo/Channel.h"
#include "nivo/TVShow.h"

namespace zu {
namespace nivo {

class FailureRun;
class HttpPageReader;

// Fetches guide data from the provider through a page reader of its own: the shows of a
// channel for a part of a window, and the details of coming shows. Nothing it reads raises an
// exception to its caller; what fails is logged through the failure runs it is given, which
// fetchers of one client share, so that while requests of a kind keep failing the user hears
// of the first only (see FailureRun).
//
// Threads: one call at a time per fetcher (its page reader serves one request at a time);
// fetchers with readers of their own may run at once.
class GuideFetcher {
 public:
  // showLists and showDetails must outlive the fetcher. detailsBudget bounds the time one
  // details pass may take (see ReadDetails).
  GuideFetcher(SharedPtr<HttpPageReader> pageReader, FailureRun& showLists, FailureRun& showDetails,
               const zu::Time& detailsBudget);

  GuideFetcher(const GuideFetcher&) = delete;
  GuideFetcher& operator=(const GuideFetcher&) = delete;

  // The shows of the channel in [from, to), requested in pieces of at most 24 whole hours;
  // nothing when to is not at least an hour after from. A piece that cannot be read ends the
  // fetch with the shows read so far (pageMissing, when given, is set then: the provider did
  // not answer with a page); a document that cannot be read (logged "Failed reading EPG of
  // <name> (<reason>)") gives no shows at all.
  TVShows FetchShows(const Channel& channel, const boost::posix_time::ptime& from,
                     const boost::posix_time::ptime& to, bool* pageMissing = nullptr);

  // Reads, in order, the details of the shows that have none and are still to come, until a
  // document cannot be read (logged "Failed reading detailed EPG of <name>:<title>
  // (<reason>)"), the pass has taken the details budget (at least one show is read), or
  // stopping is set; the rest waits for the next pass. A page that does not come leaves its
  // show without details (the reader logs it) and the pass goes on. Shows of id 0 are skipped:
  // the provider has no details for them. True when details were read into a show. Throws
  // std::runtime_error when the local time cannot be told (see LocalTime), before any show is
  // touched.
  bool ReadDetails(const Channel& channel, const std::vector<TVShow*>& shows,
                   const std::atomic<bool>& stopping);

 private:
  SharedPtr<HttpPageReader> pageReader_;
  FailureRun& showLists_;
  FailureRun& showDetails_;
  const zu::Time detailsBudget_;
};

}  // namespace nivo
}  // namespace zu

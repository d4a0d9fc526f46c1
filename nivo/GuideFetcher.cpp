#include "nivo/GuideFetcher.h"

#include <ctime>
#include <exception>
#include <string>
#include <utility>

#include "nivo/FailureRun.h"
#include "nivo/Json.h"
#include "nivo/JsonReader.h"
#include "output/Output.h"

namespace zu {
namespace nivo {

namespace {

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

}  // namespace

GuideFetcher::GuideFetcher(SharedPtr<HttpPageReader> pageReader, FailureRun& showLists,
                           FailureRun& showDetails, const zu::Time& detailsBudget)
    : pageReader_(std::move(pageReader)),
      showLists_(showLists),
      showDetails_(showDetails),
      detailsBudget_(detailsBudget) {}

TVShows GuideFetcher::FetchShows(const Channel& channel, const boost::posix_time::ptime& from,
                                 const boost::posix_time::ptime& to, bool* pageMissing) {
  if (pageMissing != nullptr)
    *pageMissing = false;
  JsonReader reader(pageReader_);
  TVShows fetched;
  CallShowReader(
      [&] { fetched = reader.ReadShowsOfTVChannel(channel, from, to, &showLists_, pageMissing); },
      "Failed reading EPG of " + channel.name, &showLists_);
  return fetched;
}

bool GuideFetcher::ReadDetails(const Channel& channel, const std::vector<TVShow*>& shows,
                               const std::atomic<bool>& stopping) {
  bool read = false;
  const boost::posix_time::ptime now = LocalTime(time(nullptr));
  const zu::Time passStart = zu::Time::NowMonotonic();
  JsonReader reader(pageReader_);
  for (TVShow* show : shows) {
    if (stopping)
      break;
    // Asking for event 0 brings some other show's details, or none.
    if (show->id == 0 || show->detailsRead || !(show->start > now))
      continue;
    if (!CallShowReader([&] { reader.ReadShowDetails(*show, &showDetails_); },
                        "Failed reading detailed EPG of " + channel.name + ":" + show->title,
                        &showDetails_))
      break;
    read = read || show->detailsRead;
    // A pass may run while the client lock is held; against a provider that lets every request
    // run into the page reader's bound it would otherwise hold it for that bound once per show.
    if (zu::Time::NowMonotonic() - passStart >= detailsBudget_)
      break;
  }
  return read;
}

}  // namespace nivo
}  // namespace zu
